#include "sdk/PluginFactory.h"

#include "sdk/BoundedText.h"

namespace VST3 {
namespace Hosting {

using namespace Steinberg;

namespace {

bool describeClass(IPluginFactory& factory, IPluginFactory2* factory2, IPluginFactory3* factory3, int32 index,
                   ClassInfo& out)
{
    if (factory3) {
        PClassInfoW info;
        if (factory3->getClassInfoUnicode(index, &info) == kResultOk) {
            ClassInfo unicode(info);
            if (unicode.valid()) {
                out = unicode;
                return true;
            }
        }
    }
    if (factory2) {
        PClassInfo2 info;
        if (factory2->getClassInfo2(index, &info) == kResultOk) {
            out = ClassInfo(info);
            return true;
        }
    }
    PClassInfo info;
    if (factory.getClassInfo(index, &info) == kResultOk) {
        out = ClassInfo(info);
        return true;
    }
    return false;
}

} // namespace

bool PluginFactory::setHostContext(FUnknown* context) const noexcept
{
    if (!factory_)
        return false;
    talven::ScopedLock guard(moduleLock());
    FUnknownPtr<IPluginFactory3> factory3(factory_.get());
    return factory3 && factory3->setHostContext(context) == kResultOk;
}

FactoryInfo PluginFactory::info() const noexcept
{
    FactoryInfo result;
    PFactoryInfo info;
    talven::ScopedLock guard(moduleLock());
    if (factory_ && factory_->getFactoryInfo(&info) == kResultOk) {
        result.vendor = boundedText(info.vendor);
        result.url = boundedText(info.url);
        result.email = boundedText(info.email);
        result.flags = info.flags;
    }
    return result;
}

uint32 PluginFactory::classCount() const noexcept
{
    if (!factory_)
        return 0;
    talven::ScopedLock guard(moduleLock());
    int32 count = factory_->countClasses();
    return count > 0 ? static_cast<uint32>(count) : 0;
}

ClassInfos PluginFactory::classInfos() const
{
    ClassInfos infos;
    if (!factory_)
        return infos;
    talven::ScopedLock guard(moduleLock());
    FUnknownPtr<IPluginFactory2> factory2(factory_.get());
    FUnknownPtr<IPluginFactory3> factory3(factory_.get());
    uint32 count = classCount();
    for (uint32 i = 0; i < count; ++i) {
        ClassInfo info;
        // A class the factory cannot describe is left out rather than listed
        // with an empty identity.
        if (describeClass(*factory_, factory2.get(), factory3.get(), static_cast<int32>(i), info))
            infos.push_back(info);
    }
    return infos;
}

} // namespace Hosting
} // namespace VST3
