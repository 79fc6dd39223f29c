#include "bass.h"
#include "engine_fixture.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace basstest;

namespace {

// Appends a digit to every sample, so the block records the call order.
struct Mark {
    float digit;
};

void CALLBACK appendMark(HDSP, DWORD, void *buffer, DWORD length, void *user) {
    const float digit = static_cast<const Mark *>(user)->digit;
    auto *samples = static_cast<float *>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i)
        samples[i] = samples[i] * 10 + digit;
}

std::vector<float> pull(HSTREAM s, DWORD frames, DWORD chans = 2) {
    std::vector<float> block(frames * chans);
    const DWORD got = BASS_ChannelGetData(s, block.data(), DWORD(block.size() * sizeof(float)));
    EXPECT_EQ(got, block.size() * sizeof(float));
    return block;
}

struct SelfRemover {
    std::atomic<int> calls{0};
    BOOL removedOk = FALSE;
};

void CALLBACK removeSelf(HDSP handle, DWORD channel, void *, DWORD, void *user) {
    auto &r = *static_cast<SelfRemover *>(user);
    ++r.calls;
    r.removedOk = BASS_ChannelRemoveDSP(channel, handle);
}

void CALLBACK countCalls(HDSP, DWORD, void *, DWORD, void *user) {
    ++*static_cast<std::atomic<int> *>(user);
}

} // namespace

using DspChain = EngineTest;

TEST_F(DspChain, RunsHigherPrioritiesFirstAndEqualPrioritiesInOrderOfSetting) {
    const HSTREAM s = decodeStream();
    Mark m1{1}, m2{2}, m3{3}, m4{4}, m5{5};
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &m1, 1), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &m2, 5), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &m3, 1), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &m4, -2), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &m5, 5), 0u);
    for (float sample : pull(s, 32))
        ASSERT_EQ(sample, 25134.0f);
}

TEST_F(DspChain, RemovedDspIsNotCalledForLaterBlocksAndTheRestKeepTheirOrder) {
    const HSTREAM s = decodeStream();
    Mark m1{1}, m2{2}, m3{3};
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &m1, 3), 0u);
    const HDSP middle = BASS_ChannelSetDSP(s, appendMark, &m2, 2);
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &m3, 1), 0u);
    EXPECT_EQ(pull(s, 4)[0], 123.0f);
    ASSERT_TRUE(BASS_ChannelRemoveDSP(s, middle));
    EXPECT_EQ(pull(s, 4)[0], 13.0f);
    EXPECT_FALSE(BASS_ChannelRemoveDSP(s, middle));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(DspChain, DspRemovingItselfInsideItsCallbackIsNotCalledAgainWhileTheOthersRun) {
    const HSTREAM s = decodeStream();
    Mark before{1}, after{2};
    SelfRemover remover;
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &before, 2), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, removeSelf, &remover, 1), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, appendMark, &after, 0), 0u);
    EXPECT_EQ(pull(s, 4)[0], 12.0f);
    EXPECT_TRUE(remover.removedOk);
    EXPECT_EQ(pull(s, 4)[0], 12.0f);
    EXPECT_EQ(remover.calls, 1);
}

namespace {

struct Reentrant {
    std::atomic<int> calls{0};
    std::atomic<int> failures{0};
};

// Calls back into the engine with its own channel from inside the chain.
void CALLBACK callBackIn(HDSP, DWORD channel, void *, DWORD, void *user) {
    auto &r = *static_cast<Reentrant *>(user);
    BASS_CHANNELINFO info{};
    if (!BASS_ChannelGetInfo(channel, &info) || info.chans != 2)
        ++r.failures;
    const HSYNC sync = BASS_ChannelSetSync(channel, BASS_SYNC_FREE, 0, [](HSYNC, DWORD, DWORD, void *) {}, nullptr);
    if (!sync || !BASS_ChannelRemoveSync(channel, sync))
        ++r.failures;
    const HDSP extra = BASS_ChannelSetDSP(channel, countCalls, nullptr, -100);
    if (!extra || !BASS_ChannelRemoveDSP(channel, extra))
        ++r.failures;
    if (BASS_ChannelGetData(channel, nullptr, 0) != DWORD(-1) || BASS_ErrorGetCode() == BASS_OK)
        ++r.failures; // pulling its own channel from inside the chain is refused, not a deadlock
    ++r.calls;
}

} // namespace

TEST_F(DspChain, CallbacksMayCallBackIntoTheEngineOnTheCallersThread) {
    const HSTREAM s = decodeStream();
    Reentrant r;
    ASSERT_NE(BASS_ChannelSetDSP(s, callBackIn, &r, 0), 0u);
    pull(s, 8);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.failures, 0);
}

TEST_F(DspChain, CallbacksMayCallBackIntoTheEngineOnTheMixingThread) {
    Reentrant r;
    const ScopedStream s(playStream());
    ASSERT_NE(BASS_ChannelSetDSP(s, callBackIn, &r, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    EXPECT_TRUE(waitUntil([&] { return r.calls >= 3; }));
    EXPECT_EQ(r.failures, 0);
}

TEST_F(DspChain, RemovingADspWaitsForItsCallInProgressOnAnotherThread) {
    struct Blocking {
        Gate gate;
        std::atomic<int> calls{0};
    } blocking;
    const ScopedStream s(playStream());
    auto blockOnce = [](HDSP, DWORD, void *, DWORD, void *user) {
        auto &b = *static_cast<Blocking *>(user);
        if (b.calls++ == 0)
            b.gate.enterAndWait();
    };
    const HDSP d = BASS_ChannelSetDSP(s, blockOnce, &blocking, 0);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(blocking.gate.waitEntered());

    std::atomic<bool> removed{false};
    std::thread remover([&] {
        EXPECT_TRUE(BASS_ChannelRemoveDSP(s, d));
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(removed); // still inside the DSP
    blocking.gate.open();
    remover.join();
    const int callsAtRemoval = blocking.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(blocking.calls, callsAtRemoval);
    EXPECT_EQ(callsAtRemoval, 1);
}

