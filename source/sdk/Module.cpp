#include "sdk/Module.h"

#include "sdk/LoadedModules.h"
#include "sdk/ModuleConsole.h"
#include "sdk/ModuleLock.h"
#include "sdk/PluginContextFactory.h"

#include "platform/ProcessEnd.h"
#include "platform/ScopedLock.h"

namespace VST3 {
namespace Hosting {

using namespace Steinberg;

namespace {

// Once per load of a library: a factory that keeps the host context learns
// it before any class of it is made.
void offerHostContext(const PluginFactory& factory)
{
    if (FUnknown* context = PluginContextFactory::instance().getPluginContext())
        factory.setHostContext(context);
}

} // namespace

Module::~Module() = default;

Module::Ptr Module::create(const std::string& path, std::string& errorDescription)
{
    talven::ScopedLock guard(moduleLock());
    writeConsoleLine("create: start");
    std::unique_ptr<Module> module = makePlatformModule();
    writeConsoleLine("create: declaration");
    if (module->openLibrary(path, errorDescription)) {
        // The same library opened again answers the same system handle.
        if (Ptr shared = shareLoadedModule(module->library())) {
            module->dropLibrary();
            writeConsoleLine("create: load module");
            return shared;
        }
        if (module->enter(errorDescription)) {
            talven::closeGateBeforeLibrariesEnd();
            offerHostContext(module->getFactory());
            Ptr adopted = adoptLoadedModule(std::move(module));
            writeConsoleLine("create: load module");
            return adopted;
        }
    }
    writeConsoleLine("create: end");
    // Releasing the module unloads a library that was loaded, with its exit.
    module.reset();
    return nullptr;
}

Module::Ptr Module::create(const char* path, std::string& errorDescription)
{
    if (!path) {
        errorDescription = "The module path is null";
        return nullptr;
    }
    return create(std::string(path), errorDescription);
}

bool Module::adoptFactory(FUnknown* returned, std::string& errorDescription)
{
    IPluginFactory* factory = nullptr;
    if (returned) {
        void* answer = nullptr;
        if (returned->queryInterface(IPluginFactory::iid, &answer) == kResultOk)
            factory = static_cast<IPluginFactory*>(answer);
        returned->release();
    }
    if (!factory) {
        errorDescription = "Calling 'GetPluginFactory' returned nullptr";
        return false;
    }
    factory_ = PluginFactory(owned(factory));
    return true;
}

} // namespace Hosting
} // namespace VST3
