#include "bass.h"
#include "engine_fixture.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace basstest;

namespace {

// Frame n of channel c carries n + 1000 * c, so channels cannot be mixed up.
struct Ramp {
    DWORD chans = 2;
    DWORD frame = 0;
    DWORD endAfterFrames = 0; // 0: never ends
    std::thread::id thread;
};

DWORD CALLBACK ramp(HSTREAM, void *buffer, DWORD length, void *user) {
    auto &r = *static_cast<Ramp *>(user);
    r.thread = std::this_thread::get_id();
    auto *out = static_cast<float *>(buffer);
    DWORD frames = length / (r.chans * sizeof(float));
    bool end = false;
    if (r.endAfterFrames && r.frame + frames >= r.endAfterFrames) {
        frames = r.endAfterFrames - r.frame;
        end = true;
    }
    for (DWORD f = 0; f < frames; ++f, ++r.frame)
        for (DWORD c = 0; c < r.chans; ++c)
            *out++ = static_cast<float>(r.frame + 1000 * c);
    const DWORD bytes = frames * r.chans * static_cast<DWORD>(sizeof(float));
    return end ? bytes | BASS_STREAMPROC_END : bytes;
}

struct CallLog {
    std::atomic<int> calls{0};
    std::atomic<bool> otherThread{false};
    std::thread::id caller = std::this_thread::get_id();
};

void CALLBACK logCall(HDSP, DWORD, void *, DWORD, void *user) {
    auto &log = *static_cast<CallLog *>(user);
    if (std::this_thread::get_id() != log.caller)
        log.otherThread = true;
    ++log.calls;
}

} // namespace

// ---- lifecycle and errors -----------------------------------------------

TEST(EngineLifecycle, CreatingAStreamBeforeInitFailsWithInitError) {
    EXPECT_EQ(BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, silence, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(EngineLifecycle, InitTwiceFailsWithAlreadyAndAnUnknownDeviceIsRefused) {
    EXPECT_FALSE(BASS_Init(7, 48000, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    ASSERT_TRUE(BASS_Init(-1, 48000, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_FALSE(BASS_Init(0, 48000, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_TRUE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

using EngineErrors = EngineTest;

TEST_F(EngineErrors, ErrorCodeIsKeptPerThread) {
    EXPECT_FALSE(BASS_ChannelStop(12345));
    int otherThreadCode = -2;
    std::thread([&] {
        const HSTREAM s = decodeStream();
        EXPECT_NE(s, 0u);
        otherThreadCode = BASS_ErrorGetCode();
    }).join();
    EXPECT_EQ(otherThreadCode, BASS_OK);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

// ---- decode channels ------------------------------------------------------

using DecodeChannel = EngineTest;

TEST_F(DecodeChannel, IsPulledOnTheCallersThreadWithTheStreamProcsSamplesPerChannel) {
    Ramp source;
    source.chans = 3;
    const HSTREAM s = decodeStream(3, ramp, &source);
    ASSERT_NE(s, 0u);
    CallLog log;
    ASSERT_NE(BASS_ChannelSetDSP(s, logCall, &log, 0), 0u);

    std::vector<float> block(64 * 3);
    for (int pass = 0; pass < 2; ++pass) {
        const DWORD got = BASS_ChannelGetData(s, block.data(), DWORD(block.size() * sizeof(float)) | BASS_DATA_FLOAT);
        ASSERT_EQ(got, block.size() * sizeof(float));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
        for (DWORD f = 0; f < 64; ++f)
            for (DWORD c = 0; c < 3; ++c)
                ASSERT_EQ(block[f * 3 + c], float(pass * 64 + f + 1000 * c)) << "frame " << f << " channel " << c;
    }
    EXPECT_EQ(source.thread, std::this_thread::get_id());
    EXPECT_EQ(log.calls, 2);
    EXPECT_FALSE(log.otherThread);
}

TEST_F(DecodeChannel, DeliversTheLastPartialBlockThenReportsEnded) {
    Ramp source;
    source.endAfterFrames = 100;
    const HSTREAM s = decodeStream(2, ramp, &source);
    std::vector<float> block(256 * 2);
    EXPECT_EQ(BASS_ChannelGetData(s, block.data(), DWORD(block.size() * sizeof(float))), 100u * 2 * sizeof(float));
    EXPECT_EQ(block[99 * 2 + 1], 1099.0f);
    EXPECT_EQ(BASS_ChannelGetData(s, block.data(), DWORD(block.size() * sizeof(float))), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
}

TEST_F(DecodeChannel, RoundsRequestsDownToWholeFrames) {
    Ramp source;
    const HSTREAM s = decodeStream(2, ramp, &source);
    std::vector<float> block(8, -1.0f);
    EXPECT_EQ(BASS_ChannelGetData(s, block.data(), 3 * 2 * sizeof(float) + 5), 3u * 2 * sizeof(float));
    EXPECT_EQ(block[6], -1.0f);
}

TEST_F(DecodeChannel, CannotBePlayedButReportsItsInfo) {
    const HSTREAM s = decodeStream(6);
    EXPECT_FALSE(BASS_ChannelPlay(s, FALSE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.freq, 48000u);
    EXPECT_EQ(info.chans, 6u);
    EXPECT_EQ(info.flags & (BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE), DWORD(BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE));
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM));
    EXPECT_EQ(info.filename, nullptr);
    EXPECT_EQ(BASS_ChannelGetLength(s, BASS_POS_BYTE), QWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

// ---- playing channels -----------------------------------------------------

using PlayingChannel = EngineTest;

TEST_F(PlayingChannel, IsRenderedThroughItsDspsOnAnotherThread) {
    CallLog log;
    const ScopedStream s(playStream());
    ASSERT_NE(BASS_ChannelSetDSP(s, logCall, &log, 0), 0u);
    float block[2];
    EXPECT_EQ(BASS_ChannelGetData(s, block, sizeof block), DWORD(-1)); // only decode channels are pulled
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    EXPECT_TRUE(waitUntil([&] { return log.calls >= 3; }));
    EXPECT_TRUE(log.otherThread);
}

TEST_F(PlayingChannel, StopsBeingRenderedWhenStoppedAndResumesWhenPlayedAgain) {
    CallLog log;
    const ScopedStream s(playStream());
    ASSERT_NE(BASS_ChannelSetDSP(s, logCall, &log, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(waitUntil([&] { return log.calls >= 1; }));
    ASSERT_TRUE(BASS_ChannelStop(s));
    const int atStop = log.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(log.calls, atStop + 1); // at most the block already under way
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    EXPECT_TRUE(waitUntil([&] { return log.calls >= atStop + 3; }));
}

TEST_F(PlayingChannel, StopsPlayingWhenItsStreamProcEnds) {
    Ramp source;
    source.endAfterFrames = 1000;
    CallLog log;
    const ScopedStream s(playStream(2, ramp, &source));
    ASSERT_NE(BASS_ChannelSetDSP(s, logCall, &log, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    // 1000 frames at 480 a period: three blocks with data, then the end.
    EXPECT_TRUE(waitUntil([&] { return log.calls >= 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(log.calls, 3);
}

namespace {

struct Churn {
    std::atomic<bool> removed{false};
    std::atomic<bool> calledAfterRemoval{false};
    std::atomic<int> calls{0};
};

void CALLBACK churnDsp(HDSP, DWORD, void *buffer, DWORD length, void *user) {
    auto &c = *static_cast<Churn *>(user);
    if (c.removed)
        c.calledAfterRemoval = true;
    auto *samples = static_cast<float *>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i)
        samples[i] += 1.0f;
    ++c.calls;
}

} // namespace

TEST_F(PlayingChannel, DspsCanBeSetAndRemovedFromOtherThreadsWhileItRenders) {
    CallLog log;
    const ScopedStream s(playStream());
    ASSERT_NE(BASS_ChannelSetDSP(s, logCall, &log, -5), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));

    std::atomic<int> violations{0};
    std::atomic<int> totalCalls{0};
    auto worker = [&](int priority) {
        for (int i = 0; i < 60; ++i) {
            Churn churn;
            const HDSP d = BASS_ChannelSetDSP(s, churnDsp, &churn, priority);
            if (d == 0) {
                ++violations;
                return;
            }
            waitUntil([&] { return churn.calls > 0; });
            if (!BASS_ChannelRemoveDSP(s, d))
                ++violations;
            churn.removed = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (churn.calledAfterRemoval)
                ++violations;
            totalCalls += churn.calls;
        }
    };
    std::thread a(worker, 1), b(worker, 1), c(worker, 0);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(violations, 0);
    EXPECT_GE(totalCalls, 180);
    EXPECT_GT(log.calls, 0);
}

// ---- failure injection ----------------------------------------------------

using FailureInjection = EngineTest;

namespace {
void CALLBACK noSync(HSYNC, DWORD, DWORD, void *) {}
} // namespace

TEST_F(FailureInjection, MakesOnlyTheNextSetSyncFailWithTheGivenCode) {
    const HSTREAM s = decodeStream();
    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_ChannelSetSync", BASS_ERROR_MEM));
    EXPECT_EQ(BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, noSync, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_MEM);
    EXPECT_NE(BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, noSync, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

TEST_F(FailureInjection, MakesTheNextGetDataReturnMinusOneWithoutPullingTheSource) {
    Ramp source;
    const HSTREAM s = decodeStream(2, ramp, &source);
    std::vector<float> block(16);
    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_ChannelGetData", BASS_ERROR_UNKNOWN));
    EXPECT_EQ(BASS_ChannelGetData(s, block.data(), 64), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_UNKNOWN);
    EXPECT_EQ(source.frame, 0u);
    EXPECT_EQ(BASS_ChannelGetData(s, block.data(), 64), 64u);
}

TEST_F(FailureInjection, RefusesUnknownNamesAndNullClearsPendingFailures) {
    EXPECT_FALSE(BASSTEST_FailNextCall("BASS_NoSuchFunction", BASS_ERROR_MEM));
    EXPECT_FALSE(BASSTEST_FailNextCall("BASS_ErrorGetCode", BASS_ERROR_MEM));
    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_ChannelSetDSP", BASS_ERROR_MEM));
    ASSERT_TRUE(BASSTEST_FailNextCall(nullptr, 0));
    const HSTREAM s = decodeStream();
    EXPECT_NE(BASS_ChannelSetDSP(s, logCall, nullptr, 0), 0u);
}

extern "C" int basstest_setDspFromC(HSTREAM stream);

TEST_F(EngineErrors, HeaderWorksFromC) {
    EXPECT_TRUE(basstest_setDspFromC(decodeStream()));
}

// ---- callback counts --------------------------------------------------------

using CallbackCounts = EngineTest;

TEST_F(CallbackCounts, CountDspsAndSyncsPerChannelAndOverAllChannelsAndForgetFreedOnes) {
    const HSTREAM a = decodeStream();
    const HSTREAM b = decodeStream();
    const HDSP dsp = BASS_ChannelSetDSP(a, logCall, nullptr, 0);
    ASSERT_NE(BASS_ChannelSetDSP(a, logCall, nullptr, 1), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(b, logCall, nullptr, 0), 0u);
    ASSERT_NE(BASS_ChannelSetSync(b, BASS_SYNC_FREE, 0, noSync, nullptr), 0u);
    DWORD dsps = 99, syncs = 99;
    ASSERT_TRUE(BASSTEST_GetCallbackCounts(a, &dsps, &syncs));
    EXPECT_EQ(dsps, 2u);
    EXPECT_EQ(syncs, 0u);
    ASSERT_TRUE(BASSTEST_GetCallbackCounts(0, &dsps, &syncs));
    EXPECT_EQ(dsps, 3u);
    EXPECT_EQ(syncs, 1u);

    ASSERT_TRUE(BASS_ChannelRemoveDSP(a, dsp));
    ASSERT_TRUE(BASS_StreamFree(b));
    ASSERT_TRUE(BASSTEST_GetCallbackCounts(0, &dsps, nullptr));
    EXPECT_EQ(dsps, 1u);
    EXPECT_FALSE(BASSTEST_GetCallbackCounts(b, &dsps, &syncs));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}
