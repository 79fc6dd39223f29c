// What the Windows editor tests read off the real windows: the editor
// windows of this thread and their geometry.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace talven::test {

// The editor windows (class "VSTSDK WindowClass") this thread owns, visible
// or not; in an isolated run those of this program's talven-host processes.
std::vector<HWND> editorWindows();
// Every window this thread owns, top-level and child.
int threadWindowCount();

RECT outerRect(HWND hwnd);
SIZE clientSize(HWND hwnd);
std::wstring windowText(HWND hwnd);

// Dispatches this thread's pending messages.
void pumpMessages();

} // namespace talven::test
