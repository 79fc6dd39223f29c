#include "sdk/LinuxModule.h"

#include "sdk/ModuleConsole.h"
#include "sdk/ModulePath.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace VST3 {
namespace Hosting {
namespace {

using ModuleEntryProc = bool (*)(void*);
using ModuleExitProc = bool (*)();
using FactoryProc = Steinberg::IPluginFactory* (*)();

template <typename Proc>
Proc entryPoint(void* library, const char* name)
{
    return reinterpret_cast<Proc>(dlsym(library, name));
}

bool isDirectory(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Every symbol is bound at load time, so that a library with a missing
// dependency fails here instead of at a later call; RTLD_LOCAL keeps one
// plug-in's symbols from binding another's. A name without a slash would make
// dlopen search the system's library folders: it names a file in the current
// folder, as the directory test above reads it.
void* openPluginLibrary(const std::string& path)
{
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace

std::unique_ptr<Module> makePlatformModule()
{
    return std::make_unique<LinuxModule>();
}

LinuxModule::~LinuxModule()
{
    releaseFactory();
    if (!library_)
        return;
    if (auto moduleExit = entryPoint<ModuleExitProc>(library_, "ModuleExit"))
        moduleExit();
    dlclose(library_);
}

bool LinuxModule::openLibrary(const std::string& path, std::string& errorDescription)
{
    writeConsoleLine("load: start");
    // dlopen of "" would answer the main program itself.
    if (const char* problem = modulePathProblem(path)) {
        errorDescription = problem;
        return false;
    }
    writeConsoleLine("load: log(1)");
    return isDirectory(path) ? loadAsPackage(path) : loadAsDll(path, errorDescription);
}

bool LinuxModule::enter(std::string& errorDescription)
{
    auto getFactory = entryPoint<FactoryProc>(library_, "GetPluginFactory");
    if (!getFactory) {
        errorDescription = "The library does not export the required 'GetPluginFactory' function";
        return false;
    }
    if (auto moduleEntry = entryPoint<ModuleEntryProc>(library_, "ModuleEntry")) {
        if (!moduleEntry(library_)) {
            errorDescription = "Calling 'ModuleEntry' failed";
            return false;
        }
    }
    return adoptFactory(getFactory(), errorDescription);
}

void LinuxModule::dropLibrary()
{
    if (library_)
        dlclose(library_);
    library_ = nullptr;
}

bool LinuxModule::loadAsPackage(const std::string& path)
{
    writeConsoleLine("loadAsPackage: start");
    // A package whose inner library is missing fails without a description,
    // as on Windows.
    library_ = openPluginLibrary(packageLibraryPath(path));
    if (!library_)
        dlerror();
    return library_ != nullptr;
}

bool LinuxModule::loadAsDll(const std::string& path, std::string& errorDescription)
{
    writeConsoleLine("loadAsDll: start");
    library_ = openPluginLibrary(path);
    if (library_)
        return true;
    const char* reason = dlerror();
    if (reason)
        errorDescription = std::string("dlopen failed: ") + reason;
    else
        errorDescription = "dlopen failed without a reason";
    return false;
}

} // namespace Hosting
} // namespace VST3
