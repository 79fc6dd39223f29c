#pragma once

#include "sdk/Module.h"

namespace VST3 {
namespace Hosting {

// A plug-in module on Linux: dlopen, "ModuleEntry" (given the library
// handle), "GetPluginFactory", and "ModuleExit" before dlclose.
class LinuxModule : public Module {
public:
    LinuxModule() = default;
    // Thread of the last holder.
    ~LinuxModule() override;

protected:
    bool load(const std::string& path, std::string& errorDescription) override;

private:
    bool loadAsPackage(const std::string& path);
    bool loadAsDll(const std::string& path, std::string& errorDescription);

    void* library_ = nullptr;
};

} // namespace Hosting
} // namespace VST3
