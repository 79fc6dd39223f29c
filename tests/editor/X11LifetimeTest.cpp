// How Linux editors end: a detach or channel free from any thread (the
// audio thread and the editor's own callbacks included) closes the editor on
// the editor thread without waiting for it; the last editor takes the editor
// thread and the X connection along; hundreds of editors leave nothing
// behind; and a program may exit or unload the library with an editor open.
// Run once more isolated: the editor thread is then talven-host's, and what
// this process counts of its own threads and descriptors tells nothing of it.
#include "IsolatedRun.h"
#include "X11EditorSupport.h"

#include "TestSupport.h"

#include "editor/EditorThread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>

extern char** environ;

namespace talven::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

using Report = std::array<int, 3>;

constexpr const char* kEditorThreadName = "talven-editor";

bool editorGone()
{
    return editorWindows().empty() && threadsNamed(kEditorThreadName) == 0;
}

// The editor thread of the view shown first: where it was attached.
ThreadToken attachingThread()
{
    for (const Event& event : recordedEvents()) {
        if (event.first == "attached")
            return event.second;
    }
    return {};
}

std::vector<Event> eventsBut(const std::string& name)
{
    std::vector<Event> kept;
    for (const Event& event : recordedEvents()) {
        if (event.first != name)
            kept.push_back(event);
    }
    return kept;
}

bool eventsInclude(const std::string& name)
{
    for (const Event& event : recordedEvents()) {
        if (event.first == name)
            return true;
    }
    return false;
}

// Keeps the editor thread busy until released, from a thread of its own.
// Isolated it holds nothing: the editor thread is talven-host's.
class BusyEditorThread {
public:
    BusyEditorThread()
    {
        if (isolatedRun())
            return;
        caller_ = std::thread([this] {
              EditorThread::call([this] {
                busy_ = true;
                while (!released_)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
        });
        waitUntil([this] { return busy_.load(); });
    }
    ~BusyEditorThread() { release(); }

    void release()
    {
        released_ = true;
        if (caller_.joinable())
            caller_.join();
    }

private:
    std::atomic<bool> busy_{false};
    std::atomic<bool> released_{false};
    std::thread caller_;
};

using X11LifetimeTest = X11EditorTest;

TEST_F(X11LifetimeTest, TheLastEditorToCloseTakesTheEditorThreadAndTheXConnectionAlong)
{
    ASSERT_TRUE(waitUntil(editorGone)); // a thread of an earlier test has ended
    const int fdsBefore = openFdCount();
    ASSERT_NE(show(30, 40), 0u);
    if (!isolatedRun()) {
        EXPECT_EQ(threadsNamed(kEditorThreadName), 1);
        EXPECT_GT(openFdCount(), fdsBefore);
    }

    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
    EXPECT_FALSE(EditorThread::running());
    // Isolated, the detach closed the link to talven-host opened before.
    if (isolatedRun()) {
        EXPECT_LE(openFdCount(), fdsBefore);
    } else {
        EXPECT_EQ(openFdCount(), fdsBefore);
    }
    // Closed on the editor thread after the detach returned: not reported.
    EXPECT_THAT(positionReports(), IsEmpty());
    // The view left, and the plug-in was released, where the view lived.
    const ThreadToken editor = attachingThread();
    EXPECT_NE(editor, thisThread());
    EXPECT_THAT(eventsBut("timer"),
                ElementsAre(Event{"attached", editor}, Event{"removed", editor}, Event{"terminate", editor}));
}

TEST_F(X11LifetimeTest, ADetachOnAnotherThreadDoesNotWaitForABusyEditorThread)
{
    if (isolatedRun())
        GTEST_SKIP() << "the editor thread to keep busy is talven-host's";
    ASSERT_NE(show(30, 40), 0u);
    BusyEditorThread busy;
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(plugin.liveViews(), 1); // its removal waits for the editor thread
    busy.release();
    EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
    EXPECT_EQ(plugin.liveViews(), 0);
}

// Reports that arrive once the detach or free has returned: a program may
// free its callback then (the bindings do).
std::atomic<bool> callReturned{false};
std::atomic<int> lateReports{0};

void TALVEN_CALL countLateReports(int32_t, int32_t, int32_t)
{
    if (callReturned.load())
        ++lateReports;
}

TEST_F(X11LifetimeTest, NoPositionReportOfAnAttachmentFollowsItsDetachOrChannelFree)
{
    struct Case {
        const char* name;
        bool hiddenFirst;
        bool freeChannel;
    };
    const Case cases[] = {{"shown, detach", false, false},
                          {"hidden, detach", true, false},
                          {"shown, free", false, true},
                          {"hidden, free", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        callReturned = false;
        lateReports = 0;
        clearEvents();
        if (handle == 0) {
            stream = decodeStream();
            handle = attach(stream);
        }
        ASSERT_NE(handle, 0u);
        ASSERT_NE(show(30, 40, countLateReports), 0u);
        if (c.hiddenFirst) {
            ASSERT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
        }
        {
            // The close surely runs on the editor thread after the return.
            BusyEditorThread busy;
            EXPECT_EQ(c.freeChannel ? TALVEN_ChannelFree(stream) : TALVEN_ChannelRemoveDSP(0, handle), 1);
            callReturned = true;
        }
        EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
        EXPECT_EQ(lateReports.load(), 0);
        EXPECT_EQ(plugin.liveViews(), 0);
        if (c.freeChannel)
            stream = 0;
        handle = 0;
    }
}

// The instance whose channel the audio thread's DSP frees or detaches.
std::atomic<std::uint32_t> audioDetaches{0};
std::atomic<HSTREAM> audioFrees{0};

void CALLBACK endFromAudioThread(HDSP, DWORD, void*, DWORD, void*)
{
    if (const std::uint32_t handle = audioDetaches.exchange(0))
        TALVEN_ChannelRemoveDSP(0, handle);
    if (const HSTREAM stream = audioFrees.exchange(0))
        BASS_ChannelFree(stream);
}

TEST_F(X11LifetimeTest, ADetachOrAChannelFreeOnTheAudioThreadClosesTheEditorOnTheEditorThread)
{
    const HSTREAM playing = playingStream();
    ASSERT_NE(playing, 0u);
    ASSERT_NE(BASS_ChannelSetDSP(playing, endFromAudioThread, nullptr, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(playing, FALSE));

    ASSERT_NE(show(30, 40), 0u);
    audioDetaches = handle;
    EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
    EXPECT_EQ(plugin.liveViews(), 0);

    clearEvents();
    handle = attach(stream, 1, 10, 20, recordPosition);
    ASSERT_NE(handle, 0u);
    audioFrees = stream;
    EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
    const ThreadToken editor = attachingThread();
    EXPECT_THAT(recordedEvents(), testing::Contains(Event{"removed", editor}));
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, nullptr, nullptr), 0); // the instance is gone
}

TEST_F(X11LifetimeTest, ShowingOneInstanceWhileAnotherDetachesFinishesBoth)
{
    const std::uint32_t other = attach(decodeStream());
    ASSERT_NE(other, 0u);
    ASSERT_NE(show(30, 40), 0u);
    auto showing = std::async(std::launch::async, [&] {
        for (int i = 0; i < 20; ++i)
            TALVEN_ShowEditor(other, 1, 100 + i, 100, nullptr, "Other");
    });
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(showing.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    showing.get();
    EXPECT_TRUE(waitUntil([] { return editorWindows().size() == 1; }));
    EXPECT_EQ(plugin.liveViews(), 1); // the other's
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, other), 1);
    EXPECT_TRUE(waitUntil(editorGone));
}

// What the position callbacks below do, and to whom.
std::atomic<std::uint32_t> callbackHandle{0};
std::atomic<HSTREAM> callbackStream{0};

void TALVEN_CALL detachOnAnyReport(int32_t left, int32_t top, int32_t closing)
{
    recordPosition(left, top, closing);
    TALVEN_ChannelRemoveDSP(0, callbackHandle);
}

void TALVEN_CALL freeChannelOnMove(int32_t left, int32_t top, int32_t closing)
{
    recordPosition(left, top, closing);
    if (closing == 0)
        BASS_ChannelFree(callbackStream);
}

TEST_F(X11LifetimeTest, ADetachFromInsideThePositionCallbackClosesTheEditorThere)
{
    // From the close button's report.
    callbackHandle = handle;
    const Window closed = show(30, 40, detachOnAnyReport);
    ASSERT_NE(closed, 0u);
    pressCloseButton(closed);
    EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, nullptr, nullptr), 0);

    // From the report of a move.
    clearEvents();
    clearPositionReports();
    handle = attach(stream);
    callbackHandle = handle;
    const Window moved = show(30, 40, detachOnAnyReport);
    ASSERT_NE(moved, 0u);
    moveWindow(moved, 90, 80);
    EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
    EXPECT_EQ(positionReports().front(), (Report{90, 80, 0}));
}

TEST_F(X11LifetimeTest, FreeingTheChannelFromInsideThePositionCallbackClosesTheEditorThere)
{
    callbackStream = stream;
    const Window frame = show(30, 40, freeChannelOnMove);
    ASSERT_NE(frame, 0u);
    moveWindow(frame, 90, 80);
    EXPECT_TRUE(waitUntil([] { return editorGone() && eventsInclude("terminate"); }));
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, nullptr, nullptr), 0);
}

TEST_F(X11LifetimeTest, HundredsOfEditorsWhileAudioPlaysLeaveNoWindowDescriptorThreadOrTimerBehind)
{
    const HSTREAM playing = playingStream();
    ASSERT_NE(playing, 0u);
    const std::uint32_t live = attach(playing);
    ASSERT_NE(live, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(playing, FALSE));
    ASSERT_TRUE(waitUntil(editorGone));
    const int fdsBefore = openFdCount();
    const int windowsBefore = allWindowCount();
    const int threadsBefore = threadCount();
    const std::int64_t framesBefore = framesRendered();

    for (int i = 0; i < 200; ++i) {
        const Window frame = showFor(live, 20 + i % 50, 30, recordPosition, "Live");
        ASSERT_NE(frame, 0u) << "showing " << i;
        if (i % 3 == 0) {
            pressCloseButton(frame); // the user's close
            ASSERT_TRUE(waitUntil([&] { return plugin.liveViews() == 0; })) << "closing " << i;
        } else {
            ASSERT_EQ(TALVEN_ShowEditor(live, 0, 0, 0, nullptr, nullptr), 1);
        }
    }
    // What stays is the last frame, hidden, which the instance keeps.
    EXPECT_TRUE(waitUntil([] { return editorWindows().size() == 1; }));
    EXPECT_EQ(plugin.liveViews(), 0);
    if (!isolatedRun()) { // the editor thread's loop is talven-host's
        EXPECT_EQ(editorTimers(), 0);
        EXPECT_EQ(editorWatchedFds(), 1); // the X connection
        EXPECT_EQ(threadsNamed(kEditorThreadName), 1);
    }
    EXPECT_LE(openFdCount(), fdsBefore + 2); // the X connection and the thread's wake-up

    const HSTREAM cycled = playingStream();
    ASSERT_TRUE(BASS_ChannelPlay(cycled, FALSE));
    for (int i = 0; i < 50; ++i) {
        const std::uint32_t shown = attach(cycled, 1, 40, 50, recordPosition, "Cycle");
        ASSERT_NE(shown, 0u) << "attaching " << i;
        ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, shown), 1);
    }
    EXPECT_TRUE(waitUntil([&] { return framesRendered() > framesBefore; })); // audio went on

    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, live), 1);
    EXPECT_TRUE(waitUntil([&] { return editorGone() && plugin.liveViews() == 0; }));
    EXPECT_FALSE(EditorThread::running());
    // Isolated, the detach closed the link to talven-host opened before.
    if (isolatedRun()) {
        EXPECT_LE(openFdCount(), fdsBefore);
    } else {
        EXPECT_EQ(openFdCount(), fdsBefore);
    }
    EXPECT_EQ(allWindowCount(), windowsBefore);
    // The registry's idle timer may have started a thread of its own meanwhile.
    EXPECT_LE(threadCount(), threadsBefore + 1);
    std::printf("after 200 editors shown and hidden and 50 attached and detached: descriptors %d -> %d, "
                "X windows %d -> %d, threads %d -> %d, editor threads %d, views %d\n",
                fdsBefore, openFdCount(), windowsBefore, allWindowCount(), threadsBefore, threadCount(),
                threadsNamed(kEditorThreadName), plugin.liveViews());
}

// Runs the exit helper in mode and returns its exit status, or -1 when it
// did not end within a minute (then it is killed).
int runExitHelper(const char* mode)
{
    // The helper leaves its instance behind on purpose; the last setting wins.
    std::string asan = "ASAN_OPTIONS=";
    if (const char* existing = std::getenv("ASAN_OPTIONS"))
        asan += std::string(existing) + ":";
    asan += "detect_leaks=0";
    std::vector<std::string> variables{asan};
    for (char** variable = environ; *variable; ++variable) {
        if (std::strncmp(*variable, "ASAN_OPTIONS=", 13) != 0)
            variables.emplace_back(*variable);
    }
    std::vector<char*> environment;
    for (std::string& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    std::string program = TALVEN_EXIT_HELPER_PATH;
    std::string argument = mode;
    char* arguments[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environment.data()) != 0)
        return -2;
    int status = 0;
    const bool ended = waitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, std::chrono::seconds(60));
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(X11ProgramEndTest, AProgramMayExitOrUnloadTheLibraryWhileAnEditorIsOpen)
{
    if (!testDisplay())
        GTEST_SKIP() << noDisplayReason();
    // Isolated, the helper's talven-host ends with it, and its window too.
    for (const char* mode : {"exit", "exit-in-callback", "unload", "unload-closed"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(runExitHelper(mode), 0);
        EXPECT_TRUE(waitUntil([] { return editorWindows().empty(); }));
    }
}

} // namespace
} // namespace talven::test
