// The parameter callback that runs on the audio thread after a block (the
// plug-in asked for kParamValuesChanged from inside process): what it may do
// there (detach, free the channel, read the plug-in) never switches the
// plug-in off and on, terminates it or unloads it on that thread, and never
// touches a record that is gone. And a store whose flush makes the plug-in
// report calls back with no library lock held.
#include "IsolatedRun.h"
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace talven::test {
namespace {

using namespace Steinberg::Vst;

// What the callback does on the audio thread when it first hears the
// plug-in's request to read every value again.
enum class OnAudioThread { detach, freeChannel, readParameter, readInfo };

struct CallbackSide {
    const RestartPlugin* plugin = nullptr;
    std::uint32_t handle = 0;
    HSTREAM stream = 0;
    OnAudioThread action = OnAudioThread::detach;
    std::atomic<int> acted{0};
    std::atomic<std::int64_t> audioThread{0};
    std::atomic<int> result{-1};
};

void TALVEN_CALL actOnAudioThread(uint32_t, uint32_t id, double, void* user)
{
    auto& side = *static_cast<CallbackSide*>(user);
    if (id != TALVEN_ALL_PARAMETERS || side.acted.load() != 0)
        return;
    side.audioThread = side.plugin->threadTag();
    switch (side.action) {
    case OnAudioThread::detach:
        side.result = TALVEN_ChannelRemoveDSP(0, side.handle);
        break;
    case OnAudioThread::freeChannel:
        side.result = TALVEN_ChannelFree(side.stream);
        break;
    case OnAudioThread::readParameter:
        side.result = TALVEN_GetParam(side.handle, TALVEN_RESTART_GAIN_ID) > 0 ? 1 : 0;
        break;
    case OnAudioThread::readInfo: {
        TALVEN_INFO described{};
        described.size = sizeof described;
        side.result = TALVEN_GetInfo(side.handle, &described);
        break;
    }
    }
    side.acted = 1;
}

class AudioThreadCallbackTest : public RestartEngineTest {
protected:
    // Attaches to a playing ramp, sets the callback and has the plug-in ask
    // from inside its next process call; waits until the callback acted.
    void actFromNextBlock(CallbackSide& side, std::int32_t flags)
    {
        ASSERT_NE(playingRamp(), 0u);
        ASSERT_NE(attach(stream), 0u);
        ASSERT_TRUE(waitProcessed());
        side.plugin = &plugin;
        side.handle = handle;
        side.stream = stream;
        ASSERT_EQ(TALVEN_SetParamCallback(handle, actOnAudioThread, &side), 1);
        plugin.request(kParamValuesChanged | flags, TALVEN_RESTART_IN_PROCESS);
        ASSERT_TRUE(waitUntil([&] { return side.acted.load() != 0; }));
        EXPECT_NE(side.audioThread.load(), plugin.threadTag());
    }
};

TEST_F(AudioThreadCallbackTest, ADetachOrFreeFromTheCallbackAfterABlockLeavesTheTerminationToAnotherThread)
{
    for (const OnAudioThread action : {OnAudioThread::detach, OnAudioThread::freeChannel}) {
        SCOPED_TRACE(action == OnAudioThread::detach ? "detach" : "free");
        CallbackSide side;
        side.action = action;
        actFromNextBlock(side, 0);
        EXPECT_EQ(side.result.load(), 1);
        // The plug-in is terminated by the next library call here, never on
        // the audio thread; the handle is gone for good.
        EXPECT_TRUE(waitUntil([&] {
            TALVEN_GetBypass(side.handle);
            return plugin.stats().terminations > 0;
        }));
        const TalvenRestartStats stats = plugin.stats();
        EXPECT_EQ(stats.terminations, 1);
        EXPECT_NE(stats.terminationThread, side.audioThread.load());
        if (!isolatedRun()) { // isolated, talven-host's own thread terminates it
            EXPECT_EQ(stats.terminationThread, plugin.threadTag());
        }
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, side.handle), 0);
        EXPECT_EQ(stats.violations, 0);
        if (action == OnAudioThread::freeChannel)
            stream = 0;
        else
            BASS_ChannelFree(stream);
        handle = 0;
        plugin.reset();
    }
}

TEST_F(AudioThreadCallbackTest, ARestartPendingWhenTheCallbackReadsThePluginOnTheAudioThreadWaitsForTheProgram)
{
    if (isolatedRun())
        GTEST_SKIP() << "isolated, the callback runs on the library's reporting thread, not the audio thread: "
                        "its read is an ordinary call, which carries the restart out in talven-host";
    for (const OnAudioThread action : {OnAudioThread::readParameter, OnAudioThread::readInfo}) {
        SCOPED_TRACE(action == OnAudioThread::readParameter ? "parameter" : "info");
        CallbackSide side;
        side.action = action;
        actFromNextBlock(side, kLatencyChanged);
        EXPECT_EQ(side.result.load(), 1);
        // Not switched off and on there: only the attach's activation so far.
        TalvenRestartStats stats = plugin.stats();
        EXPECT_EQ(stats.activations, 1);
        EXPECT_EQ(stats.deactivations, 0);
        EXPECT_NE(stats.activationThread, side.audioThread.load());
        EXPECT_EQ(stats.violations, 0);

        // The program's next read carries it out on its own thread.
        info();
        stats = plugin.stats();
        EXPECT_EQ(stats.activations, 2);
        EXPECT_EQ(stats.activationThread, plugin.threadTag());
        ASSERT_TRUE(waitProcessed());
        EXPECT_EQ(plugin.stats().violations, 0);
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        handle = 0;
        BASS_ChannelFree(stream);
        stream = 0;
        plugin.reset();
    }
}

// The callback that hears the store's flush waits for another thread's
// bypass switch, which takes the instance's locks.
struct BypassWaiter {
    std::uint32_t handle = 0;
    std::mutex lock;
    std::condition_variable done;
    bool switched = false;
    std::atomic<bool> switchedInCallback{false};
    std::thread other;
};

void TALVEN_CALL waitForBypassElsewhere(uint32_t, uint32_t id, double, void* user)
{
    auto& waiter = *static_cast<BypassWaiter*>(user);
    if (id != TALVEN_ALL_PARAMETERS || waiter.other.joinable())
        return;
    waiter.other = std::thread([&waiter] {
        TALVEN_SetBypass(waiter.handle, 1);
        std::lock_guard<std::mutex> guard(waiter.lock);
        waiter.switched = true;
        waiter.done.notify_all();
    });
    std::unique_lock<std::mutex> guard(waiter.lock);
    waiter.switchedInCallback = waiter.done.wait_for(guard, std::chrono::seconds(20), [&] { return waiter.switched; });
}

TEST_F(AudioThreadCallbackTest, AStoreCallsBackWithNoLibraryLockHeld)
{
    ASSERT_NE(levelStream(), 0u);
    ASSERT_NE(attach(stream), 0u);
    BypassWaiter waiter;
    waiter.handle = handle;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, waitForBypassElsewhere, &waiter), 1);
    // Asked from inside the store's flush (a process call without samples).
    plugin.request(kParamValuesChanged, TALVEN_RESTART_IN_PROCESS);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("talven-store-callback-" + std::to_string(::getpid()) + ".vstpreset"))
            .string();
    EXPECT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 1);
    ASSERT_TRUE(waiter.other.joinable());
    waiter.other.join();
    EXPECT_TRUE(waiter.switchedInCallback.load());
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    std::remove(path.c_str());
}

} // namespace
} // namespace talven::test
