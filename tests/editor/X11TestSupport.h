// What the Linux editor tests read off the X server, through an Xlib
// connection of their own (as a user's window manager or a screenshot tool
// would see the editor), and what they count in the process.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

namespace talven::test {

// The test's own display connection; null when DISPLAY names none. Errors
// about windows that went meanwhile are ignored.
Display* testDisplay();
// A message for GTEST_SKIP when there is no display.
const char* noDisplayReason();

struct Geometry {
    int left = 0; // root coordinates of the content's top-left corner
    int top = 0;
    int width = 0;
    int height = 0;
};

// The windows below are only those made by this process or by the processes
// it started (talven-host), so that suites sharing the display stay apart.
// The editor's top-level windows (WM_CLASS "Talven"), mapped or not.
std::vector<Window> editorWindows();
// Every window on the screen, children included.
int allWindowCount();
Window parentOf(Window window);
Geometry geometryOf(Window window);
bool isViewable(Window window);
// _NET_WM_NAME as bytes.
std::string titleOf(Window window);
// WM_NORMAL_HINTS: whether the size is held fixed at width x height.
bool sizeIsFixedAt(Window window, int width, int height);
bool isAbove(Window window);

// A program's own top-level window (a panel to embed an editor in) of
// width x height, white, mapped and known to the server; 0 on failure.
Window makeProgramWindow(int width, int height);
// The window's direct children, bottom to top (empty when it is gone).
std::vector<Window> childrenOf(Window window);
// Destroys the window and waits until the server did.
void destroyProgramWindow(Window window);

// What a user's window manager would send or do.
void pressCloseButton(Window window);
void moveWindow(Window window, int left, int top);
void resizeWindow(Window window, int width, int height);

// The screen's pixels under the window, 0xRRGGBB, row by row (empty when the
// window cannot be read).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned int> pixels;
    // How many pixels differ from the first one.
    int pixelsOtherThanFirst() const;
};
Image captureWindow(Window window);
// Writes the image as a PNG file; false on failure.
bool writePng(const Image& image, const std::string& path);

// The process's open descriptors and threads; threads named name.
int openFdCount();
int threadCount();
int threadsNamed(const std::string& name);

} // namespace talven::test
