// Taking an instance down while its editor shows, the way programs do it:
// from the editor's own callbacks, from another thread than the editor's,
// with audio playing and another thread still holding the plug-in. Windows
// here are recording ones; with an owner queue they hand work from other
// threads to the thread that made them, as the Win32 window does.
#include "EditorTestSupport.h"
#include "RecordingWindow.h"
#include "TestSupport.h"

#include "instance/InstanceHold.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talven::test {
namespace {

using testing::ElementsAre;

std::mutex eventsLock;
std::vector<std::string> events;

// What the plug-in reports as it goes (a view removed, the controller
// terminated); kept in this program so that it outlives the plug-in's module.
void recordEvent(const char* event)
{
    std::lock_guard<std::mutex> guard(eventsLock);
    events.emplace_back(event);
}

std::vector<std::string> recordedEvents()
{
    std::lock_guard<std::mutex> guard(eventsLock);
    return events;
}

class EditorTeardownTest : public EditorEngineTest {
protected:
    void SetUp() override
    {
        EditorEngineTest::SetUp();
        {
            std::lock_guard<std::mutex> guard(eventsLock);
            events.clear();
        }
        plugin.observe(recordEvent);
    }
    void TearDown() override
    {
        plugin.observe(nullptr);
        EditorEngineTest::TearDown();
    }

    RecordingWindowFactory windows;
};

// The callbacks below act on these.
std::atomic<std::uint32_t> callbackHandle{0};
std::atomic<HSTREAM> callbackStream{0};
std::atomic<int> innerDetach{-1};

// What a program does when "the window closed": takes the plug-in off and
// frees the channel. It waits a little first, so that the mixing thread's
// next block is surely waiting on whatever the outer detach still holds.
void TALVEN_CALL detachAndFreeOnClose(int32_t left, int32_t top, int32_t closing)
{
    recordPosition(left, top, closing);
    if (closing != 1)
        return;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    innerDetach = TALVEN_ChannelRemoveDSP(0, callbackHandle);
    TALVEN_ChannelFree(callbackStream);
}

TEST_F(EditorTeardownTest, ADetachAndAChannelFreeFromTheCallbackOfADetachingEditorCompleteWhileAudioPlays)
{
    const HSTREAM stream = playingStream();
    callbackStream = stream;
    callbackHandle = attach(stream, 1, 30, 40, detachAndFreeOnClose, "t");
    ASSERT_NE(callbackHandle.load(), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    const std::int64_t before = framesRendered();
    ASSERT_TRUE(waitUntil([&] { return framesRendered() > before + 4800; }));

    int outer = -1;
    finishesWithin([&] { outer = TALVEN_ChannelRemoveDSP(0, callbackHandle); });
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(innerDetach.load(), 0); // refused: the outer detach is doing it
    EXPECT_THAT(recordedEvents(), ElementsAre("attached", "removed", "terminate"));
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(TALVEN_ChannelFree(stream), 0); // freed by the callback
}

TEST_F(EditorTeardownTest, AChannelFreedFromTheCallbackOfAnEditorClosedByTheFreeLeavesTheRestToTheFirstFree)
{
    const HSTREAM stream = playingStream();
    callbackStream = stream;
    callbackHandle = attach(stream, 1, 30, 40, detachAndFreeOnClose, "t");
    ASSERT_NE(callbackHandle.load(), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    int freed = 0;
    finishesWithin([&] { freed = TALVEN_ChannelFree(stream); });
    EXPECT_NE(freed, 0);
    EXPECT_EQ(innerDetach.load(), 0);
    EXPECT_THAT(recordedEvents(), ElementsAre("attached", "removed", "terminate"));
}

// A program's own free sync on the channel, which detaches what it attached.
void CALLBACK detachInFreeSync(HSYNC, DWORD, DWORD, void*)
{
    innerDetach = TALVEN_ChannelRemoveDSP(0, callbackHandle);
}

TEST_F(EditorTeardownTest, ADetachFromTheProgramsOwnFreeSyncCompletesAndThePluginEndsOnce)
{
    for (const bool syncFirst : {true, false}) {
        innerDetach = -1;
        {
            std::lock_guard<std::mutex> guard(eventsLock);
            events.clear();
        }
        const HSTREAM stream = playingStream();
        if (syncFirst) {
            ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_FREE, 0, detachInFreeSync, nullptr), 0u);
        }
        callbackHandle = attach(stream, 1, 30, 40, recordPosition, "t");
        ASSERT_NE(callbackHandle.load(), 0u);
        if (!syncFirst) {
            ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_FREE, 0, detachInFreeSync, nullptr), 0u);
        }
        ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
        finishesWithin([&] { TALVEN_ChannelFree(stream); });
        // Before the library's own sync the detach does it all; after it
        // there is nothing left to detach.
        EXPECT_EQ(innerDetach.load(), syncFirst ? 1 : 0) << syncFirst;
        EXPECT_THAT(recordedEvents(), ElementsAre("attached", "removed", "terminate")) << syncFirst;
    }
}

// The editor shows on this thread; a detach on another hands its close and
// the plug-in to this thread, while a third thread is still using the
// plug-in. The last to let go terminates the plug-in, whose controller then
// releases its component handler: that handler must still exist.
TEST_F(EditorTeardownTest, APluginStillHeldElsewhereWhenItsEditorsThreadTearsDownKeepsItsHandler)
{
    windows.ownerQueue = std::make_shared<OwnerTaskQueue>();
    const HSTREAM stream = decodeStream();
    const std::uint32_t handle = attach(stream, 1, 30, 40, recordPosition, "t");
    ASSERT_NE(handle, 0u);

    std::atomic<int> stage{0};
    std::thread caller([&] {
        // A parameter or preset call in progress: it holds the plug-in.
        Steinberg::Vst::ControllerReference controller;
        {
            InstanceHold hold(handle);
            ASSERT_NE(hold.get(), nullptr);
            controller = hold.get()->plugin.controller();
        }
        stage = 1;
        while (stage.load() < 2)
            std::this_thread::yield();
        EXPECT_NE(controller->getParameterCount(), -1);
    }); // its release here is the plug-in's last
    ASSERT_TRUE(waitUntil([&] { return stage.load() == 1; }));

    int detached = -1;
    finishesWithin([&] { detached = TALVEN_ChannelRemoveDSP(0, handle); });
    EXPECT_EQ(detached, 1);
    EXPECT_EQ(windows.ownerQueue->pump(), 1); // the teardown, on the editor's thread
    EXPECT_THAT(recordedEvents(), ElementsAre("attached", "removed"));
    stage = 2;
    caller.join();
    EXPECT_THAT(recordedEvents(), ElementsAre("attached", "removed", "terminate"));
}

// One thread shows and hides the editor again and again (and runs what is
// handed to it) while another detaches: the instance's editor fields are
// shared between them, and an editor opened during the detach must not stay.
TEST_F(EditorTeardownTest, ShowingAndHidingOnOneThreadWhileAnotherDetachesLeavesNoEditorBehind)
{
    windows.ownerQueue = std::make_shared<OwnerTaskQueue>();
    const int rounds = 40;
    for (int round = 0; round < rounds; ++round) {
        const HSTREAM stream = decodeStream();
        const std::uint32_t handle = attach(stream, 0, 0, 0, nullptr, "t");
        ASSERT_NE(handle, 0u);
        std::atomic<bool> detached{false};
        std::thread detacher([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(200 * (round % 10)));
            TALVEN_ChannelRemoveDSP(0, handle);
            detached = true;
        });
        for (int i = 0; !detached.load() || i < 2; ++i) {
            TALVEN_ShowEditor(handle, i % 2 == 0 ? 1 : 0, 0, 0, nullptr, "t");
            windows.ownerQueue->pump();
        }
        detacher.join();
        windows.ownerQueue->pump();
        for (const auto& window : windows.made)
            EXPECT_FALSE(window->visible) << "round " << round;
        // The factory's list was the last holder of any window made.
        windows.made.clear();
        EXPECT_EQ(plugin.liveViews(), 0) << "round " << round;
    }
}

} // namespace
} // namespace talven::test
