#pragma once

// The library's load and unload hooks. The platform calls them once when the
// shared library is loaded into a process and once when it is unloaded
// (DllMain process attach/detach on Windows, constructor/destructor
// elsewhere). They are defined by the code that owns process-wide state.
//
// The unload hook must cope with every way a process ends: it may run after
// the library's static destructors (a dlopen'ed library at exit) or before
// them (FreeLibrary), while other threads still call in (exit() called on
// one thread while another renders audio), or not at all. On Windows it is
// not called when the whole process ends (see LoadHooksWindows.cpp).
namespace talven {
void onLibraryLoad();
void onLibraryUnload();
} // namespace talven
