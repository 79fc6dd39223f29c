#include "BridgeTestSupport.h"
#include "IsolatedRun.h"
#include "TestSupport.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace talven {
namespace {

using test::BridgeTest;
using test::Probe;
using test::waitUntil;

using ConcurrencyTest = BridgeTest;

// A DSP after the plug-in's that counts the blocks the channel rendered.
void CALLBACK countBlocks(HDSP, DWORD, void*, DWORD, void* user)
{
    ++*static_cast<std::atomic<int>*>(user);
}

// Lets the mixing thread render a few more blocks of the channel.
void waitForBlocks(const std::atomic<int>& rendered, int more)
{
    const int seen = rendered.load();
    ASSERT_TRUE(waitUntil([&] { return rendered.load() >= seen + more; }));
}

TEST_F(ConcurrencyTest, DetachDuringPlaybackProcessesNoFurtherBlocksAndReleasesThePluginOnTheDetachingThread)
{
    Probe probe("ProbeStereo");
    std::atomic<int> rendered{0};
    const HSTREAM stream = playingStream(2);
    BASS_ChannelSetDSP(stream, countBlocks, &rendered, -100);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(waitUntil([&] { return probe.stats().processCalls >= 3; }));
    EXPECT_NE(probe.stats().lastProcessThread, probe.threadTag());

    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    const std::int64_t calls = probe.stats().processCalls;
    waitForBlocks(rendered, 5);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.processCalls, calls);
    EXPECT_EQ(stats.terminations, 1);
    // Isolated, talven-host ends the plug-in on a thread of its own.
    if (!test::isolatedRun()) {
        EXPECT_EQ(stats.lastTerminateThread, probe.threadTag());
    }
    EXPECT_EQ(stats.violations, 0);
    BASS_StreamFree(stream);
}

TEST_F(ConcurrencyTest, ADetachWaitsForTheBlockInsideThePluginAndThenEndsItOnTheDetachingThread)
{
    Probe probe("ProbeStereo");
    std::atomic<int> rendered{0};
    const HSTREAM stream = playingStream(2);
    BASS_ChannelSetDSP(stream, countBlocks, &rendered, -100);
    probe.hold(true);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(waitUntil([&] { return probe.held(); }));

    std::atomic<std::int64_t> detacher{0};
    std::atomic<int> result{-1};
    std::thread detach([&] {
        detacher = probe.threadTag();
        result = TALVEN_ChannelRemoveDSP(0, handle);
    });
    ASSERT_TRUE(waitUntil([&] { return detacher.load() != 0; }));
    probe.hold(false);
    detach.join();

    EXPECT_EQ(result.load(), 1);
    const std::int64_t calls = probe.stats().processCalls;
    waitForBlocks(rendered, 5);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.processCalls, calls);
    EXPECT_EQ(stats.terminations, 1);
    // Isolated, talven-host ends the plug-in on a thread of its own.
    if (!test::isolatedRun()) {
        EXPECT_EQ(stats.lastTerminateThread, detacher.load());
    }
    // No switch and no termination while the block was inside the plug-in.
    EXPECT_EQ(stats.violations, 0);
    BASS_StreamFree(stream);
}

// A DSP after the plug-in's that keeps the channel's block from ending while
// it is closed.
struct BlockGate {
    std::mutex lock;
    std::condition_variable changed;
    bool closed = false;
    bool holding = false;
};

void CALLBACK holdBlockAtGate(HDSP, DWORD, void*, DWORD, void* user)
{
    BlockGate& gate = *static_cast<BlockGate*>(user);
    std::unique_lock<std::mutex> guard(gate.lock);
    gate.holding = gate.closed;
    gate.changed.notify_all();
    gate.changed.wait(guard, [&] { return !gate.closed; });
    gate.holding = false;
}

// BASS refuses to take a DSP off a channel it is freeing, and the free waits
// for the block in progress, which may still be inside the plug-in's DSP. A
// detach meeting such a free must leave the instance alive until that block
// is over: the channel-freed sync, which comes after it, lets it go.
TEST_F(ConcurrencyTest, ADetachMeetingTheChannelsFreeKeepsTheInstanceUntilTheBlockInProgressIsOver)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = playingStream(2);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    BlockGate gate;
    {
        std::lock_guard<std::mutex> guard(gate.lock);
        gate.closed = true;
    }
    BASS_ChannelSetDSP(stream, holdBlockAtGate, &gate, -100);
    {
        std::unique_lock<std::mutex> guard(gate.lock);
        ASSERT_TRUE(gate.changed.wait_for(guard, std::chrono::seconds(10), [&] { return gate.holding; }));
    }
    std::thread freeing([&] { BASS_StreamFree(stream); });
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(waitUntil([&] { return !BASS_ChannelGetInfo(stream, &info); }));

    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    // The block is still in progress: the instance must still be there,
    // detached.
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_EQ(TALVEN_GetStatus(handle), -1);
    {
        std::lock_guard<std::mutex> guard(gate.lock);
        gate.closed = false;
    }
    gate.changed.notify_all();
    freeing.join();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 0);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.terminations, 1);
    EXPECT_EQ(stats.violations, 0);
}

TEST_F(ConcurrencyTest, FreeingAPlayingChannelTakesThePluginDownAfterItsLastBlock)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = playingStream(2);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(waitUntil([&] { return probe.stats().processCalls >= 3; }));
    EXPECT_EQ(TALVEN_ChannelFree(stream), 1);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.terminations, 1);
    // Isolated, talven-host ends the plug-in on a thread of its own.
    if (!test::isolatedRun()) {
        EXPECT_EQ(stats.lastTerminateThread, probe.threadTag());
    }
    EXPECT_EQ(stats.violations, 0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 0);
}

// Two detaches and a free of the channel start together while the channel
// renders (pulled on a fourth thread, or played by the mixing thread): the
// attachment goes exactly once and the plug-in ends exactly once, switched
// off and outside any block.
TEST_F(ConcurrencyTest, DetachesAndAFreeRacingFromSeveralThreadsEndEachPluginExactlyOnce)
{
    Probe probe("ProbeStereo");
    const int iterations = test::stressIterations(2000);
    int detached = 0;
    for (int i = 0; i < iterations; ++i) {
        const bool playing = i % 4 == 3;
        const HSTREAM stream = playing ? playingStream(2) : decodeStream(2);
        const std::uint32_t handle = attach(stream, probe.path());
        ASSERT_NE(handle, 0u);

        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::array<std::atomic<int>, 2> removed{};
        auto start = [&] {
            ++ready;
            while (!go.load())
                std::this_thread::yield();
        };
        std::thread first([&] { start(); removed[0] = TALVEN_ChannelRemoveDSP(0, handle); });
        std::thread second([&] { start(); removed[1] = TALVEN_ChannelRemoveDSP(0, handle); });
        std::thread freeing([&] { start(); TALVEN_ChannelFree(stream); });
        std::thread pulling([&] {
            start();
            float block[256];
            for (int b = 0; b < 4 && !playing; ++b)
                BASS_ChannelGetData(stream, block, sizeof block);
        });
        while (ready.load() < 4)
            std::this_thread::yield();
        go = true;
        first.join();
        second.join();
        freeing.join();
        pulling.join();

        ASSERT_LE(removed[0] + removed[1], 1) << "iteration " << i;
        detached += removed[0] + removed[1];
        ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 0);
        ASSERT_EQ(TALVEN_GetBypass(handle), 0);
    }
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.activations, iterations);
    EXPECT_EQ(stats.terminations, iterations);
    EXPECT_GE(stats.deactivations, iterations);
    EXPECT_EQ(stats.violations, 0);
    // Both ways of going were taken.
    EXPECT_GT(detached, 0);
    EXPECT_LT(detached, iterations);
}

} // namespace
} // namespace talven
