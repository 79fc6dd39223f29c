#pragma once

#include "sdk/PluginFactory.h"

#include <memory>
#include <string>

namespace VST3 {
namespace Hosting {

// A loaded plug-in library and its factory. Shared by reference count; the
// last holder's release runs the library's exit entry point and unloads it,
// on that holder's thread.
class Module {
public:
    using Ptr = std::shared_ptr<Module>;

    // Loads the library at a UTF-8 path: a library file, or a package folder
    // (Name.vst3/Contents/<arch>/...). On failure answers null and may set
    // errorDescription; on success leaves errorDescription as it was.
    // Caller's thread; entry points run on it.
    static Ptr create(const std::string& path, std::string& errorDescription);
    // The same for a C string; a null path fails with "The module path is null".
    static Ptr create(const char* path, std::string& errorDescription);

    virtual ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const PluginFactory& getFactory() const { return factory_; }

protected:
    Module() = default;

    virtual bool load(const std::string& path, std::string& errorDescription) = 0;

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
Module::Ptr makePlatformModule();

} // namespace Hosting
} // namespace VST3
