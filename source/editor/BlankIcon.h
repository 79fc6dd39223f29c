#pragma once

#include <windows.h>

namespace talven {

// Gives the window a blank 32 x 32 icon as both its big and small icon, so
// the title bar and task bar show no stray application icon. The window owns
// the icon until releaseBlankIcon. The window's thread.
void attachBlankIcon(HWND hwnd);

// Destroys the icon attachBlankIcon gave the window; call while the window is
// being destroyed. Nothing happens for a window without one.
void releaseBlankIcon(HWND hwnd);

} // namespace talven
