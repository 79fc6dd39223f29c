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
// Runs work with EditorEffect's view controls where they belong: on the
// editor thread, or in an isolated run here (the controls then hand the call
// to the view's thread in talven-host and wait for it).
void onViewThread(const std::function<void()>& work);
// The editor thread (starting it for the question when it is not running).
ThreadToken editorThreadId();
// The calling thread.
ThreadToken thisThread();
// Timers and watched descriptors in the editor thread's event loop.
int editorTimers();
int editorWatchedFds();

// What EditorEffect reports (attached, timer, removed, terminate, the
// controller's state calls) with the thread it happened on, in whichever
// process: the running test's plug-in's record.
void clearEvents();
std::vector<Event> recordedEvents();

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
