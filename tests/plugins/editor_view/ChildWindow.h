// The native window an EditorEffect view puts into its parent: a painted
// child window on Windows, none elsewhere (the view then only records).
#pragma once

namespace talven::testplugin {

// The platform type the view supports: "HWND" on Windows, else
// "X11EmbedWindowID".
const char* nativeWindowType();

// A visible child window of parent with a client area of width x height, or
// null. The window's thread.
void* createChildWindow(void* parent, int width, int height);
void resizeChildWindow(void* child, int width, int height);
void destroyChildWindow(void* child);

} // namespace talven::testplugin
