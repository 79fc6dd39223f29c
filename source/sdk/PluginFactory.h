#pragma once

#include "sdk/ClassInfo.h"
#include "sdk/ModuleLock.h"

#include "platform/ScopedLock.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

#include <string>

namespace VST3 {
namespace Hosting {

// What the factory says about its maker.
struct FactoryInfo {
    std::string vendor;
    std::string url;
    std::string email;
    Steinberg::int32 flags = 0;
};

using PluginFactoryPtr = Steinberg::IPtr<Steinberg::IPluginFactory>;

// A plug-in factory, held by one reference, with typed access to its
// classes. Calls go to the plug-in on the calling thread, under the module
// lock (ModuleLock.h): the factory may share globals with the library's
// entry and exit points and with other instances' set-up.
class PluginFactory {
public:
    explicit PluginFactory(const PluginFactoryPtr& factory) noexcept : factory_(factory) {}

    // Gives an IPluginFactory3 the host context; false for older factories.
    bool setHostContext(Steinberg::FUnknown* context) const noexcept;

    FactoryInfo info() const noexcept;
    Steinberg::uint32 classCount() const noexcept;
    // Every class the factory describes, in the factory's order; the richest
    // record the factory offers (IPluginFactory3, 2, then 1) for each.
    ClassInfos classInfos() const;

    // A new instance of the class, or null.
    template <typename T>
    Steinberg::IPtr<T> createInstance(const Steinberg::FUID& classID) const noexcept
    {
        if (!factory_)
            return {};
        talven::ScopedLock guard(moduleLock());
        void* object = nullptr;
        if (factory_->createInstance(classID.toTUID(), T::iid.toTUID(), &object) != Steinberg::kResultOk
            || !object)
            return {};
        return Steinberg::owned(static_cast<T*>(object));
    }

    const PluginFactoryPtr& get() const noexcept { return factory_; }
    explicit operator bool() const noexcept { return factory_ != nullptr; }

private:
    PluginFactoryPtr factory_;
};

} // namespace Hosting
} // namespace VST3
