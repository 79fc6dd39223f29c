#pragma once

#include <windows.h>

namespace talven {

// The class name every editor window is created with.
extern const wchar_t kEditorWindowClassName[];

// Registers the editor window class for the module instance (null: the
// process's executable). Runs on every window creation; a class that already
// exists is fine as long as it runs the same procedure. False when the
// existing class belongs to someone else's procedure: creating a window with
// it would hand our user data to foreign code. Registrations made here are
// undone when the library is unloaded, so a reloaded library never inherits a
// procedure address of its previous load. Any thread.
bool registerEditorWindowClass(HINSTANCE moduleInstance, WNDPROC procedure);

} // namespace talven
