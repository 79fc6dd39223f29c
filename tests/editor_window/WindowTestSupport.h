#pragma once

#include "editor/Window.h"

#include <windows.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace talven::test {

using Steinberg::Vst::EditorHost::IWindow;
using Steinberg::Vst::EditorHost::IWindowController;
using Steinberg::Vst::EditorHost::Size;
using Steinberg::Vst::EditorHost::Window;

// A controller that records every call as a short line ("show", "close",
// "resize 400x300", "scale 1.00", "constrain 700x200") and caps the width it
// accepts at maxWidth; its content goes into the window unless attaches is
// cleared.
class RecordingController : public IWindowController {
public:
    std::vector<std::string> calls;
    int maxWidth = 1 << 20;
    bool attaches = true;

    bool onShow(IWindow& window) override;
    void onClose(IWindow& window) override;
    void onResize(IWindow& window, Size newSize) override;
    void onContentScaleFactorChanged(IWindow& window, float newScaleFactor) override;
    Size constrainSize(IWindow& window, Size requestedSize) override;
};

// Every report of the position callbacks below, as (left, top, closing).
extern std::vector<std::array<int, 3>> positionReports;
void recordPosition(Steinberg::int32 left, Steinberg::int32 top, Steinberg::int32 closing);
void recordPositionElsewhere(Steinberg::int32 left, Steinberg::int32 top, Steinberg::int32 closing);
void recordPositionThenThrowStd(Steinberg::int32 left, Steinberg::int32 top, Steinberg::int32 closing);
void recordPositionThenThrowInt(Steinberg::int32 left, Steinberg::int32 top, Steinberg::int32 closing);

// Dispatches this thread's pending messages.
void pumpMessages();

// Pumps this thread's messages until the condition holds or the bound passes.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::seconds(30));

// A window made and initialised as the editor does, with a recording
// controller; the window is null when init failed.
struct TestWindow {
    std::shared_ptr<RecordingController> controller = std::make_shared<RecordingController>();
    std::shared_ptr<Window> window;
    HWND hwnd = nullptr;

    explicit TestWindow(Size contentSize = {300, 200}, bool resizable = false, const char* title = "Editor");
};

RECT outerRect(HWND hwnd);
Size clientSize(HWND hwnd);

} // namespace talven::test
