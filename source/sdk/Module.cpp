#include "sdk/Module.h"

#include "sdk/ModuleConsole.h"

namespace VST3 {
namespace Hosting {

using namespace Steinberg;

Module::~Module() = default;

Module::Ptr Module::create(const std::string& path, std::string& errorDescription)
{
    writeConsoleLine("create: start");
    Ptr module = makePlatformModule();
    writeConsoleLine("create: declaration");
    if (module->load(path, errorDescription)) {
        writeConsoleLine("create: load module");
        return module;
    }
    writeConsoleLine("create: end");
    // Releasing the only reference unloads a library that was loaded.
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
