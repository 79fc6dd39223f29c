#pragma once

#include "sdk/Module.h"

#include <cstddef>
#include <memory>

namespace VST3 {
namespace Hosting {

// The modules loaded in this process, one per library, each with the number
// of users holding it. Every Module::Ptr handed out counts as one user; the
// last user's release runs the module's exit and unloads it under the module
// lock, so a create of the same library on another thread either shares the
// module or, once it is gone, loads it afresh after its exit finished.

// The loaded module of the library with one more user, or null when the
// library has no loaded module. Module lock held.
Module::Ptr shareLoadedModule(void* library);

// Registers a module whose entry point just ran, with its first user. Module
// lock held. On std::bad_alloc the module is released (its exit runs).
Module::Ptr adoptLoadedModule(std::unique_ptr<Module> module);

// Unloads the modules whose last user went on a thread that may not unload
// them. Nothing on such a thread. Any other thread, no library lock held.
void releaseParkedModules() noexcept;

// How many modules are loaded now. Any thread.
std::size_t loadedModuleCount();

} // namespace Hosting
} // namespace VST3
