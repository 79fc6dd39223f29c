#include "TestPluginFactory.h"

#include "EntryPoints.h"

#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/vst/vsttypes.h"

#include <atomic>
#include <cstring>

namespace talven::testplugin {
namespace {

using namespace Steinberg;

// IPluginFactory3 over a static class table; answers only the interface
// versions the description asks for.
class TestPluginFactory : public IPluginFactory3 {
public:
    explicit TestPluginFactory(const TestFactoryDescription& description)
        : description_(description)
    {
    }
    virtual ~TestPluginFactory() = default;

    // ---- FUnknown
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (!obj)
            return kInvalidArgument;
        *obj = nullptr;
        if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, IPluginFactory::iid)
            || (description_.factoryVersion >= 2 && FUnknownPrivate::iidEqual(iid, IPluginFactory2::iid))
            || (description_.factoryVersion >= 3 && FUnknownPrivate::iidEqual(iid, IPluginFactory3::iid))) {
            addRef();
            *obj = static_cast<IPluginFactory3*>(this);
            return kResultOk;
        }
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++references_; }
    uint32 PLUGIN_API release() override
    {
        uint32 left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // ---- IPluginFactory
    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override
    {
        if (!info)
            return kInvalidArgument;
        *info = PFactoryInfo(description_.vendor, description_.url, description_.email, PFactoryInfo::kUnicode);
        return kResultOk;
    }
    int32 PLUGIN_API countClasses() override { return description_.classCount; }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override
    {
        const TestClass* entry = classAt(index);
        if (!entry || !info)
            return kInvalidArgument;
        *info = PClassInfo(entry->cid.toTUID(), PClassInfo::kManyInstances, entry->category, entry->name);
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override
    {
        if (!obj || !cid || !iid)
            return kInvalidArgument;
        *obj = nullptr;
        for (int i = 0; i < description_.classCount; ++i) {
            const TestClass& entry = description_.classes[i];
            if (!FUnknownPrivate::iidEqual(entry.cid.toTUID(), cid))
                continue;
            FUnknown* object = entry.create();
            if (!object)
                return kOutOfMemory;
            tresult result = object->queryInterface(iid, obj);
            object->release();
            return result;
        }
        return kNoInterface;
    }

    // ---- IPluginFactory2
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override
    {
        const TestClass* entry = classAt(index);
        if (!entry || !info)
            return kInvalidArgument;
        *info = PClassInfo2(entry->cid.toTUID(), PClassInfo::kManyInstances, entry->category, entry->name,
                            static_cast<int32>(entry->classFlags), entry->subCategories, nullptr, "1.0.0",
                            kVstVersionString);
        return kResultOk;
    }

    // ---- IPluginFactory3
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override
    {
        PClassInfo2 ascii;
        tresult result = getClassInfo2(index, &ascii);
        if (result != kResultOk)
            return result;
        info->fromAscii(ascii);
        return kResultOk;
    }
    tresult PLUGIN_API setHostContext(FUnknown* context) override
    {
        noteHostContext(context);
        return kResultOk;
    }

private:
    const TestClass* classAt(int32 index) const
    {
        if (index < 0 || index >= description_.classCount)
            return nullptr;
        return &description_.classes[index];
    }

    const TestFactoryDescription& description_;
    std::atomic<uint32> references_{1};
};

} // namespace

IPluginFactory* makeFactory(const TestFactoryDescription& description)
{
    return new TestPluginFactory(description);
}

} // namespace talven::testplugin
