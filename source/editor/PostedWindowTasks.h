#pragma once

#include "editor/IWindow.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace talven {

using Steinberg::Vst::EditorHost::WindowTask;

// Work handed to a window's thread (an editor's close and the plug-in's
// release) and not yet run there. The posted message carries only an id:
// whoever takes the task from this table runs it, the window's thread when
// the message arrives, or, when that thread ended or its window went before
// it could, the next sweep, so that no plug-in stays loaded for good.
// Process-wide; any thread.
class PostedWindowTasks {
public:
    // Keeps task for window, owned by thread, and returns the id to post; 0
    // when it could not be kept, and task then stays with the caller.
    static std::uint64_t add(HWND window, DWORD thread, std::unique_ptr<WindowTask>& task);
    // The task under id, taken out of the table; null when already taken.
    static std::unique_ptr<WindowTask> take(std::uint64_t id);
    // Runs, on the calling thread, every task whose window is gone or whose
    // thread has ended.
    static void runAbandoned() noexcept;
};

} // namespace talven
