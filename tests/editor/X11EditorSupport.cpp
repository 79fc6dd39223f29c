#include "X11EditorSupport.h"

#include "IsolatedRun.h"
#include "TestSupport.h"

#include "editor/EditorThread.h"

#include <cstdint>

namespace talven::test {
void onEditorThread(const std::function<void()>& work)
{
    ASSERT_TRUE(EditorThread::call(work));
}

void onViewThread(const std::function<void()>& work)
{
    if (isolatedRun())
        work();
    else
        onEditorThread(work);
}

ThreadToken editorThreadId()
{
    ThreadToken id = 0;
    EditorThread::call([&] { id = thisThread(); });
    return id;
}

ThreadToken thisThread()
{
    const EditorPlugin* plugin = EditorPlugin::current();
    return plugin ? plugin->threadToken() : 0;
}

int editorTimers()
{
    int count = -1;
    EditorThread::call([&] { count = static_cast<int>(EditorThread::loop()->timerCount()); });
    return count;
}

int editorWatchedFds()
{
    int count = -1;
    EditorThread::call([&] { count = static_cast<int>(EditorThread::loop()->fdCount()); });
    return count;
}

void clearEvents()
{
    if (const EditorPlugin* plugin = EditorPlugin::current())
        plugin->clearEvents();
}

std::vector<Event> recordedEvents()
{
    const EditorPlugin* plugin = EditorPlugin::current();
    return plugin ? plugin->events() : std::vector<Event>{};
}

void X11EditorTest::SetUp()
{
    if (!testDisplay())
        GTEST_SKIP() << noDisplayReason();
    EditorEngineTest::SetUp();
    clearEvents();
    stream = decodeStream();
    ASSERT_NE(stream, 0u);
    handle = attach(stream);
    ASSERT_NE(handle, 0u);
    // The attach asked for one view to learn whether there is one.
    plugin.clearLog();
    clearEvents();
}

void X11EditorTest::TearDown()
{
    if (!testDisplay())
        return;
    TALVEN_ChannelRemoveDSP(0, handle);
    // The editor's teardown may still be on its way on the editor thread.
    waitUntil([] { return !EditorThread::running(); });
    EditorEngineTest::TearDown();
}

Window X11EditorTest::show(int x, int y, TALVEN_POSITIONPROC callback, const char* title)
{
    return showFor(handle, x, y, callback, title);
}

Window X11EditorTest::showFor(std::uint32_t instance, int x, int y, TALVEN_POSITIONPROC callback,
                              const char* title)
{
    if (TALVEN_ShowEditor(instance, 1, x, y, callback, title) != 1)
        return 0;
    // The view's child window comes from a connection of its own, which the
    // server may serve after this program's.
    const Window view = child();
    Window frame = 0;
    if (!view || !waitUntil([&] {
            frame = parentOf(view);
            return frame != 0 && isViewable(frame) && isViewable(view);
        }))
        return 0;
    return frame;
}

Window X11EditorTest::child() const
{
    return static_cast<Window>(reinterpret_cast<std::uintptr_t>(plugin.childWindow()));
}

void X11EditorTest::allowResizing(int maxWidth, bool resizeFromOnSize)
{
    TalvenEditorOptions options = plugin.options();
    options.canResize = 1;
    options.maxWidth = maxWidth;
    options.resizeFromOnSize = resizeFromOnSize ? 1 : 0;
    plugin.configure(options);
}

int X11EditorTest::runLoopTicks() const
{
    return plugin.runLoopTicks();
}

} // namespace talven::test
