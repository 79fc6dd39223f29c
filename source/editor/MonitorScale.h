#pragma once

#include <windows.h>

namespace talven {

// The effective horizontal DPI of the monitor nearest to the window divided
// by 96, or 1.0 when "Shcore.dll" or its GetDpiForMonitor is missing or the
// query fails. The first call loads "Shcore.dll" (safe against concurrent
// first calls); it is freed when this library is unloaded. Any thread.
float monitorScaleFactor(HWND hwnd);

} // namespace talven
