#pragma once

// The library's load and unload hooks. The platform calls them once when the
// shared library is loaded into a process and once when it is unloaded
// (DllMain process attach/detach on Windows, constructor/destructor
// elsewhere). They are defined by the code that owns process-wide state.
namespace talven {
void onLibraryLoad();
void onLibraryUnload();
} // namespace talven
