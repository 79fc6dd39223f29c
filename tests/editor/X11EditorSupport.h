// The fixture of the Linux editor tests: EditorEffect attached to a channel,
// its editor shown in real X11 windows on the library's editor thread.
#pragma once

#include "EditorTestSupport.h"
#include "X11TestSupport.h"

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace talven::test {

// Runs work on the library's editor thread and waits: the view may be called
// only there.
void onEditorThread(const std::function<void()>& work);
// The editor thread's id (starting it for the question when it is not running).
std::thread::id editorThreadId();
// Timers and watched descriptors in the editor thread's event loop.
int editorTimers();
int editorWatchedFds();

// What EditorEffect reports (attached, timer, removed, terminate) with the
// thread it happened on; kept in this program, so that it outlives the
// plug-in's module.
using Event = std::pair<std::string, std::thread::id>;
void clearEvents();
std::vector<Event> recordedEvents();
void TALVEN_CALL recordEvent(const char* event);

class X11EditorTest : public EditorEngineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows the editor and returns its frame (the parent of the view's child
    // window) once the server shows it, or 0.
    Window show(int x, int y, TALVEN_POSITIONPROC callback = recordPosition, const char* title = "Editor");
    Window showFor(std::uint32_t instance, int x, int y, TALVEN_POSITIONPROC callback, const char* title);
    // The view's own child window (its X window id).
    Window child() const;
    void allowResizing(int maxWidth = 0, bool resizeFromOnSize = false);
    int runLoopTicks() const;

    HSTREAM stream = 0;
    std::uint32_t handle = 0;
};

} // namespace talven::test
