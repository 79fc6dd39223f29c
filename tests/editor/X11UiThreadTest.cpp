// What runs on the editor thread besides the views: a preset's state calls
// while an editor is up (VST 3 wants state on the UI thread, and a framework
// takes the thread serving its views as that thread), and the Xlib error
// handler the library keeps while it hosts editors, so that an X error a
// plug-in's GUI raises on its own connection never ends the program.
// Isolated, the state calls run in talven-host, on its editor thread too.
#include "IsolatedRun.h"
#include "X11EditorSupport.h"

#include "TestSupport.h"

#include "editor/EditorThread.h"

#include <X11/Xlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

namespace talven::test {
namespace {

// The threads the controller's state calls came on, in order.
std::vector<ThreadToken> stateCallThreads()
{
    std::vector<ThreadToken> threads;
    for (const Event& event : recordedEvents()) {
        if (event.first == "controller getState" || event.first == "controller setState")
            threads.push_back(event.second);
    }
    return threads;
}

enum class Caller { Program, EditorThread };

struct StateCase {
    const char* what;
    bool editorShown;
    Caller caller;
    bool store; // else recall
};

TEST_F(X11EditorTest, PresetStateReachesThePluginOnTheEditorThreadWhileAnEditorIsUpAndOnTheCallersOtherwise)
{
    const std::string path = "ui-thread.vstpreset";
    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 1);
    const StateCase cases[] = {
        {"store, no editor", false, Caller::Program, true},
        {"recall, no editor", false, Caller::Program, false},
        {"store, editor shown", true, Caller::Program, true},
        {"recall, editor shown", true, Caller::Program, false},
        // Inline there: handing it over would wait for itself.
        {"store from the editor thread", true, Caller::EditorThread, true},
        {"recall from the editor thread", true, Caller::EditorThread, false},
    };
    // The thread the view was attached on: the editor thread, wherever it is.
    ThreadToken viewThread = 0;
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.what);
        // This process's editor thread has no part in an isolated plug-in.
        if (c.caller == Caller::EditorThread && isolatedRun())
            continue;
        if (c.editorShown && viewThread == 0) {
            clearEvents();
            ASSERT_NE(show(20, 20), 0u);
            ASSERT_FALSE(recordedEvents().empty());
            viewThread = recordedEvents().front().second;
        }
        if (!c.editorShown) { // the attach's look for a view started it for a moment
            ASSERT_TRUE(waitUntil([] { return !EditorThread::running(); }));
        }
        clearEvents();
        ThreadToken caller = 0;
        int result = -1;
        const auto call = [&] {
            caller = thisThread();
            result = c.store ? TALVEN_StorePreset(path.c_str(), 0, handle) : TALVEN_RecallPreset(path.c_str(), handle);
        };
        finishesWithin([&] {
            if (c.caller == Caller::EditorThread)
                onEditorThread(call);
            else
                call();
        });
        EXPECT_EQ(result, 1);
        const std::vector<ThreadToken> threads = stateCallThreads();
        ASSERT_FALSE(threads.empty());
        if (c.editorShown && !isolatedRun()) {
            EXPECT_EQ(editorThreadId(), viewThread);
        }
        // Isolated, no editor: the caller is talven-host's thread serving
        // the call, which this process cannot name; it is not the editor's.
        const ThreadToken expected = c.editorShown ? viewThread : isolatedRun() ? threads.front() : caller;
        for (const ThreadToken& thread : threads)
            EXPECT_EQ(thread, expected);
    }
}

constexpr Pixmap kBogusPixmap = 0x7ffffff1;

// The errors about the bogus pixmap that reached the program's handler (the
// test's own display may raise others, about windows that went).
std::atomic<int> programErrors{0};

int countProgramError(Display*, XErrorEvent* error)
{
    if (error->resourceid == kBogusPixmap)
        ++programErrors;
    return 0;
}

// Raises BadPixmap on a connection of its own, as a plug-in's GUI would, and
// waits for the server's answer, which Xlib hands to the error handler.
void raiseXError()
{
    Display* const display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XFreePixmap(display, kBogusPixmap);
    XSync(display, False);
    XCloseDisplay(display);
}

struct XErrorCase {
    const char* what;
    XErrorHandler programHandler; // the program's before the editor shows (null: Xlib's default)
    Caller raisedOn;
    int programSees;
};

TEST_F(X11EditorTest, AnXErrorOnAPluginsOwnConnectionIsIgnoredWhileAnEditorIsHostedAndTheProgramsHandlerStays)
{
    if (isolatedRun())
        GTEST_SKIP() << "the Xlib error handler is this process's; an isolated plug-in's GUI raises its errors in "
                        "talven-host, which the isolated X11 run's other tests cover by staying up";
    const XErrorCase cases[] = {
        // Xlib's default would end the process here.
        {"no handler of the program's, raised on the editor thread", nullptr, Caller::EditorThread, 0},
        {"no handler of the program's, raised on the program's thread", nullptr, Caller::Program, 0},
        {"the program's handler, raised on the editor thread", countProgramError, Caller::EditorThread, 0},
        {"the program's handler, raised on the program's thread", countProgramError, Caller::Program, 1},
    };
    // The test program's own (its display ignores errors about windows that
    // went), put back on every way out.
    struct Restore {
        XErrorHandler handler = XSetErrorHandler(nullptr);
        ~Restore() { XSetErrorHandler(handler); }
    } testsOwn;
    for (const XErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        XSetErrorHandler(c.programHandler);
        programErrors = 0;
        ASSERT_NE(show(20, 20), 0u);
        if (c.raisedOn == Caller::EditorThread)
            onEditorThread(raiseXError);
        else
            raiseXError();
        EXPECT_EQ(programErrors.load(), c.programSees);

        // Once the last editor window is gone the program's handler is back.
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        ASSERT_TRUE(waitUntil([] { return !EditorThread::running(); }));
        const XErrorHandler restored = XSetErrorHandler(nullptr);
        if (c.programHandler)
            EXPECT_EQ(restored, c.programHandler);
        else
            EXPECT_EQ(XSetErrorHandler(restored), restored); // Xlib's default, whatever its address
        handle = attach(stream);
        ASSERT_NE(handle, 0u);
    }
}

} // namespace
} // namespace talven::test
