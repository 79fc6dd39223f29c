#pragma once

#include "sdk/Module.h"

namespace VST3 {
namespace Hosting {

// A plug-in module on Linux: dlopen, "ModuleEntry" (given the library
// handle), "GetPluginFactory", and "ModuleExit" before dlclose.
class LinuxModule : public Module {
public:
    LinuxModule() = default;
    // Thread of the last holder, module lock held.
    ~LinuxModule() override;

    void* library() const override { return library_; }

protected:
    bool openLibrary(const std::string& path, std::string& errorDescription) override;
    bool enter(std::string& errorDescription) override;
    void dropLibrary() override;

private:
    bool loadAsPackage(const std::string& path);
    bool loadAsDll(const std::string& path, std::string& errorDescription);

    void* library_ = nullptr;
};

} // namespace Hosting
} // namespace VST3
