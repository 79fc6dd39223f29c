// The native window an EditorEffect view puts into its parent: a painted
// child window on Windows, a blue child window with a connection of its own
// on Linux.
#pragma once

namespace talven::testplugin {

// The platform type the view supports: "HWND" on Windows, else
// "X11EmbedWindowID".
const char* nativeWindowType();

// A visible child window of parent with a client area of width x height, or
// null; on Linux the child's X window id. The window's thread.
void* createChildWindow(void* parent, int width, int height);
void resizeChildWindow(void* child, int width, int height);
void destroyChildWindow(void* child);

// Linux: the descriptor of the child's own X connection (-1 elsewhere), and
// reading what arrived on it.
int childWindowFd(void* child);
// Has the child's thread make a waiting view edit soon (Windows: a posted
// message; Linux: the run loop's timer does it anyway). Any thread.
void wakeChildWindow(void* child);
void drainChildWindow(void* child);

} // namespace talven::testplugin
