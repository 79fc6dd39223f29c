#pragma once

#include <windows.h>

namespace talven {

// True exactly when the current user's "AppsUseLightTheme" value reads as a
// 4-byte 0; a missing key or value, another size or any read error means
// light. Any thread.
bool userPrefersDarkApps();

// Gives the window's title bar the user's light or dark application theme.
// The window's thread.
void applyTitleBarTheme(HWND hwnd);

} // namespace talven
