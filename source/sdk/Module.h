#pragma once

#include "sdk/PluginFactory.h"

#include <memory>
#include <string>

namespace VST3 {
namespace Hosting {

// A loaded plug-in library and its factory. A library is loaded once per
// process: every create of the same library file (by its package or by the
// file itself) while it is loaded answers the same module, whose entry point
// ran once. The last holder's release runs the library's exit point and
// unloads it, on that holder's thread. Loading, entry, factory use and exit
// take turns under the module lock (ModuleLock.h).
class Module {
public:
    using Ptr = std::shared_ptr<Module>;

    // Loads the library at a UTF-8 path: a library file, or a package folder
    // (Name.vst3/Contents/<arch>/...). On failure answers null and may set
    // errorDescription; on success leaves errorDescription as it was. Writes
    // the loader's console lines on every call, also when the library is
    // already loaded and its module is shared. A freshly loaded factory that
    // answers IPluginFactory3 is given the global plug-in context
    // (PluginContextFactory), if one is set. Caller's thread; entry points
    // run on it.
    static Ptr create(const std::string& path, std::string& errorDescription);
    // The same for a C string; a null path fails with "The module path is null".
    static Ptr create(const char* path, std::string& errorDescription);

    virtual ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const PluginFactory& getFactory() const { return factory_; }

    // The system's handle of the loaded library (dlopen handle, HMODULE):
    // the same for every load of one library file. Null before loading.
    virtual void* library() const = 0;

protected:
    Module() = default;

    // Opens the library at path and writes the loader's console lines. False
    // when no library was opened; errorDescription may then say why.
    virtual bool openLibrary(const std::string& path, std::string& errorDescription) = 0;
    // Runs the library's entry point and takes its factory: done by the
    // first module of a library only. On failure the destructor still runs
    // the exit point.
    virtual bool enter(std::string& errorDescription) = 0;
    // Gives back this object's load of a library that another module already
    // serves: no exit point, the system only counts one load less.
    virtual void dropLibrary() = 0;

    // Takes over the object GetPluginFactory returned (one reference, which
    // is released here): true when it answers IPluginFactory.
    bool adoptFactory(Steinberg::FUnknown* returned, std::string& errorDescription);
    // Platform modules call this first in their destructor: objects of the
    // factory go before the library that holds their code.
    void releaseFactory() { factory_ = PluginFactory(nullptr); }

private:
    PluginFactory factory_{nullptr};
};

// The module of this platform with nothing loaded yet.
std::unique_ptr<Module> makePlatformModule();

} // namespace Hosting
} // namespace VST3
