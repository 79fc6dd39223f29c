#pragma once

#include "editor/IWindow.h"

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
    // What every window of the instance runs on its thread while shown
    // (IWindow::setIdleTick); set once at attach, before any window.
    std::function<void()> idleTick;
};

} // namespace talven
