#include "host/HostContext.h"

#include "platform/ScopedLock.h"
#include "sdk/LoadedModules.h"
#include "sdk/ModuleLock.h"
#include "sdk/PluginContextFactory.h"

#include <memory>

namespace talven {
namespace {

// Guarded by the module lock, under which modules are loaded and given the
// context: so the object cannot go while a module is being loaded.
Steinberg::Vst::HostApplication* theHostApplication = nullptr;

} // namespace

Steinberg::Vst::HostApplication& hostApplication()
{
    ScopedLock guard(VST3::Hosting::moduleLock());
    if (!theHostApplication)
        theHostApplication = std::make_unique<Steinberg::Vst::HostApplication>().release();
    return *theHostApplication;
}

void setGlobalPluginContext()
{
    Steinberg::PluginContextFactory::instance().setPluginContext(&hostApplication());
}

void createHostContext()
{
    hostApplication();
}

void releaseHostContext()
{
    ScopedLock guard(VST3::Hosting::moduleLock());
    if (!theHostApplication || VST3::Hosting::loadedModuleCount() > 0)
        return;
    std::unique_ptr<Steinberg::Vst::HostApplication> released(theHostApplication);
    theHostApplication = nullptr;
    Steinberg::PluginContextFactory& global = Steinberg::PluginContextFactory::instance();
    if (global.getPluginContext() == released.get())
        global.setPluginContext(nullptr);
}

} // namespace talven
