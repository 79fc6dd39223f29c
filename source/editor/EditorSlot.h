#pragma once

#include "editor/IWindow.h"
#include "editor/ViewResizeReport.h"

#include <functional>
#include <memory>
#include <mutex>

namespace Steinberg::Vst::EditorHost {
class WindowController;
}

namespace talven {

// Where an instance keeps its editor: the window that shows the plug-in's
// view and the controller that joins the two, empty until an editor is
// opened. Read and written only under lock, which is held for nothing else:
// never across a call into the plug-in or the program.
struct EditorSlot {
    std::mutex lock;
    Steinberg::Vst::EditorHost::WindowPtr window;
    std::shared_ptr<Steinberg::Vst::EditorHost::WindowController> controller;
    // Set when the detach or the destruction took the editor away for good:
    // an editor opened meanwhile on another thread closes itself.
    bool closed = false;
    // The view embedded in a window of the program's (a child window of the
    // library's inside it), apart from the library's own window: at most one
    // of the two shows the editor.
    Steinberg::Vst::EditorHost::WindowPtr embeddedWindow;
    std::shared_ptr<Steinberg::Vst::EditorHost::WindowController> embeddedController;
    // The program's window it was put in, for finding that window's thread.
    void* embeddedParent = nullptr;
    // The program's callback for an embedded view that resized itself; set
    // once at attach, before any window, and silenced when the editor is
    // taken away for good.
    std::shared_ptr<ViewResizeReport> resizeReport;
    // What every window of the instance runs on its thread while shown
    // (IWindow::setIdleTick); set once at attach, before any window.
    std::function<void()> idleTick;
};

} // namespace talven
