#pragma once

#include "sdk/Module.h"

#include <windows.h>

namespace VST3 {
namespace Hosting {

// A plug-in module on Windows: LoadLibraryW, "InitDll", "GetPluginFactory",
// and "ExitDll" before FreeLibrary.
class Win32Module : public Module {
public:
    Win32Module() = default;
    // Thread of the last holder, module lock held.
    ~Win32Module() override;

    void* library() const override { return library_; }

protected:
    bool openLibrary(const std::string& path, std::string& errorDescription) override;
    bool enter(std::string& errorDescription) override;
    void dropLibrary() override;

private:
    bool loadAsPackage(const std::string& path);
    bool loadAsDll(const std::string& path, std::string& errorDescription);

    HMODULE library_ = nullptr;
};

// The error description of a failed LoadLibraryW: "LoadLibray failed: " and
// the system's message for the code (line end included), or, when the system
// has none, "LoadLibrary failed with error number : " and the code.
std::string describeLoadLibraryFailure(DWORD code);

} // namespace Hosting
} // namespace VST3
