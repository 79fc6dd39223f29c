#include "bass.h"
#include "engine_fixture.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace basstest;

namespace {

void CALLBACK doNothing(HDSP, DWORD, void *, DWORD, void *) {}
void CALLBACK noSync(HSYNC, DWORD, DWORD, void *) {}

// Every call that takes the channel handle, with whether it failed with
// BASS_ERROR_HANDLE.
std::vector<std::string> callsNotFailingWithHandleError(DWORD channel, HDSP dsp, HSYNC sync) {
    std::vector<std::string> wrong;
    auto check = [&](const char *name, bool failed) {
        if (!failed || BASS_ErrorGetCode() != BASS_ERROR_HANDLE)
            wrong.push_back(name);
    };
    BASS_CHANNELINFO info{};
    float buffer[4];
    check("GetInfo", !BASS_ChannelGetInfo(channel, &info));
    check("GetData", BASS_ChannelGetData(channel, buffer, sizeof buffer) == DWORD(-1));
    check("GetLength", BASS_ChannelGetLength(channel, BASS_POS_BYTE) == QWORD(-1));
    check("Play", !BASS_ChannelPlay(channel, FALSE));
    check("Stop", !BASS_ChannelStop(channel));
    check("SetDSP", !BASS_ChannelSetDSP(channel, doNothing, nullptr, 0));
    check("RemoveDSP", !BASS_ChannelRemoveDSP(channel, dsp));
    check("SetSync", !BASS_ChannelSetSync(channel, BASS_SYNC_FREE, 0, noSync, nullptr));
    check("RemoveSync", !BASS_ChannelRemoveSync(channel, sync));
    check("StreamFree", !BASS_StreamFree(channel));
    check("ChannelFree", !BASS_ChannelFree(channel));
    return wrong;
}

struct FreeProbe {
    std::atomic<int> calls{0};
    std::thread::id thread;
    DWORD channel = 0;
    DWORD data = 1;
    HDSP dsp = 0;
    HSYNC sync = 0;
    std::vector<std::string> wrongInside;
    std::vector<int> *order = nullptr;
    int mark = 0;
};

void CALLBACK probeFree(HSYNC sync, DWORD channel, DWORD data, void *user) {
    auto &p = *static_cast<FreeProbe *>(user);
    p.thread = std::this_thread::get_id();
    p.channel = channel;
    p.data = data;
    p.sync = sync;
    p.wrongInside = callsNotFailingWithHandleError(channel, p.dsp, sync);
    if (p.order)
        p.order->push_back(p.mark);
    ++p.calls;
}

} // namespace

using ChannelFree = EngineTest;

TEST_F(ChannelFree, RunsItsFreeSyncOnTheFreeingThread) {
    const HSTREAM s = playStream();
    FreeProbe probe;
    const HSYNC sync = BASS_ChannelSetSync(s, BASS_SYNC_FREE | BASS_SYNC_MIXTIME, 0, probeFree, &probe);
    ASSERT_NE(sync, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    std::thread::id freeingThread;
    std::thread([&] {
        freeingThread = std::this_thread::get_id();
        EXPECT_TRUE(BASS_ChannelFree(s));
        EXPECT_EQ(probe.calls, 1); // already run when the free returns
    }).join();
    EXPECT_EQ(probe.thread, freeingThread);
    EXPECT_EQ(probe.channel, s);
    EXPECT_EQ(probe.sync, sync);
    EXPECT_EQ(probe.data, 0u);
}

TEST_F(ChannelFree, EveryCallWithTheHandleFailsWithHandleErrorInsideTheFreeSyncAndAfterwards) {
    const HSTREAM s = decodeStream();
    FreeProbe probe;
    probe.dsp = BASS_ChannelSetDSP(s, doNothing, nullptr, 0);
    ASSERT_NE(probe.dsp, 0u);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, probeFree, &probe), 0u);
    ASSERT_TRUE(BASS_StreamFree(s));
    ASSERT_EQ(probe.calls, 1);
    EXPECT_EQ(probe.wrongInside, std::vector<std::string>{});
    EXPECT_EQ(callsNotFailingWithHandleError(s, probe.dsp, probe.sync), std::vector<std::string>{});
    EXPECT_EQ(probe.calls, 1); // freeing again did not run it again
}

TEST_F(ChannelFree, RunsFreeSyncsInOrderOfSettingButNotRemovedOnes) {
    const HSTREAM s = decodeStream();
    std::vector<int> order;
    FreeProbe a, b, c;
    a.order = b.order = c.order = &order;
    a.mark = 1;
    b.mark = 2;
    c.mark = 3;
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, probeFree, &a), 0u);
    const HSYNC second = BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, probeFree, &b);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_FREE | BASS_SYNC_ONETIME, 0, probeFree, &c), 0u);
    ASSERT_TRUE(BASS_ChannelRemoveSync(s, second));
    ASSERT_TRUE(BASS_ChannelFree(s));
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
}

TEST_F(ChannelFree, RefusesSyncTypesOtherThanFree) {
    const HSTREAM s = decodeStream();
    const DWORD kSyncEnd = 2, kSyncPos = 0;
    EXPECT_EQ(BASS_ChannelSetSync(s, kSyncEnd, 0, noSync, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_EQ(BASS_ChannelSetSync(s, kSyncPos | BASS_SYNC_MIXTIME, 0, noSync, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_EQ(BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST_F(ChannelFree, WaitsForTheBlockInProgressOnTheMixingThread) {
    const HSTREAM s = playStream();
    struct Blocking {
        Gate gate;
        std::atomic<int> calls{0};
        std::atomic<bool> freeSyncRan{false};
        std::atomic<bool> ranDuringSync{false};
    } blocking;
    auto blockOnce = [](HDSP, DWORD, void *, DWORD, void *user) {
        auto &b = *static_cast<Blocking *>(user);
        if (b.freeSyncRan)
            b.ranDuringSync = true;
        if (b.calls++ == 0)
            b.gate.enterAndWait();
    };
    auto onFree = [](HSYNC, DWORD, DWORD, void *user) { static_cast<Blocking *>(user)->freeSyncRan = true; };
    ASSERT_NE(BASS_ChannelSetDSP(s, blockOnce, &blocking, 0), 0u);
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, onFree, &blocking), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(blocking.gate.waitEntered());

    std::atomic<bool> freed{false};
    std::thread freer([&] {
        EXPECT_TRUE(BASS_ChannelFree(s));
        freed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(freed);
    EXPECT_FALSE(blocking.freeSyncRan);
    blocking.gate.open();
    freer.join();
    EXPECT_TRUE(blocking.freeSyncRan);
    const int callsAtFree = blocking.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(blocking.calls, callsAtFree);
    EXPECT_FALSE(blocking.ranDuringSync);
}

namespace {

struct SelfFreeing {
    FreeProbe probe;
    std::atomic<int> freeResult{-1};
    std::atomic<int> laterDspCalls{0};
};

void CALLBACK freeOwnChannel(HDSP, DWORD channel, void *, DWORD, void *user) {
    static_cast<SelfFreeing *>(user)->freeResult = BASS_ChannelFree(channel);
}

void CALLBACK countLater(HDSP, DWORD, void *, DWORD, void *user) {
    ++static_cast<SelfFreeing *>(user)->laterDspCalls;
}

} // namespace

TEST_F(ChannelFree, ChannelMayFreeItselfFromItsOwnDspWithoutWaitingOnItself) {
    const HSTREAM s = decodeStream();
    SelfFreeing self;
    ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_FREE, 0, probeFree, &self.probe), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, freeOwnChannel, &self, 1), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, countLater, &self, 0), 0u);
    float block[8];
    BASS_ChannelGetData(s, block, sizeof block);
    EXPECT_EQ(self.freeResult, TRUE);
    EXPECT_EQ(self.probe.calls, 1);
    EXPECT_EQ(self.probe.thread, std::this_thread::get_id());
    EXPECT_EQ(self.laterDspCalls, 0); // the rest of the chain is dropped with the channel
    EXPECT_EQ(BASS_ChannelGetData(s, block, sizeof block), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST(EngineFree, FreesEveryChannelAndRunsTheirFreeSyncsOnTheCallingThread) {
    ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr));
    FreeProbe decoding, playing;
    const HSTREAM a = BASS_StreamCreate(44100, 1, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, silence, nullptr);
    const HSTREAM b = BASS_StreamCreate(44100, 2, BASS_SAMPLE_FLOAT, silence, nullptr);
    ASSERT_NE(BASS_ChannelSetSync(a, BASS_SYNC_FREE, 0, probeFree, &decoding), 0u);
    ASSERT_NE(BASS_ChannelSetSync(b, BASS_SYNC_FREE, 0, probeFree, &playing), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(b, FALSE));
    ASSERT_TRUE(BASS_Free());
    EXPECT_EQ(decoding.calls, 1);
    EXPECT_EQ(playing.calls, 1);
    EXPECT_EQ(decoding.thread, std::this_thread::get_id());
    EXPECT_EQ(playing.thread, std::this_thread::get_id());
    EXPECT_FALSE(BASS_ChannelFree(a));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

namespace {

// Delivers `frames` frames of silence, then ends.
struct EndingSource {
    std::atomic<DWORD> left{0};
};

DWORD CALLBACK ending(HSTREAM, void *buffer, DWORD length, void *user) {
    auto &source = *static_cast<EndingSource *>(user);
    const DWORD frameBytes = 2 * sizeof(float);
    const DWORD frames = std::min(source.left.load(), length / frameBytes);
    source.left -= frames;
    std::fill_n(static_cast<char *>(buffer), frames * frameBytes, char(0));
    return frames * frameBytes | (source.left == 0 ? BASS_STREAMPROC_END : 0);
}

} // namespace

TEST_F(ChannelFree, AnAutoFreeStreamGoesWhenItsPlaybackEndsOrIsStoppedAndOnlyThen) {
    enum class End { byItself, byStop };
    const struct {
        const char *what;
        DWORD flags;
        End end;
        bool freed;
    } cases[] = {
        {"auto-free, ends", BASS_STREAM_AUTOFREE, End::byItself, true},
        {"auto-free, stopped", BASS_STREAM_AUTOFREE, End::byStop, true},
        {"plain, ends", 0, End::byItself, false},
        {"plain, stopped", 0, End::byStop, false},
        {"auto-free decoding, read to its end", BASS_STREAM_AUTOFREE | BASS_STREAM_DECODE, End::byItself, false},
        {"auto-free decoding, stopped", BASS_STREAM_AUTOFREE | BASS_STREAM_DECODE, End::byStop, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EndingSource source;
        source.left = c.end == End::byItself ? 960 : 1u << 30;
        const HSTREAM s = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | c.flags, ending, &source);
        ASSERT_NE(s, 0u);
        FreeProbe probe;
        ASSERT_NE(BASS_ChannelSetSync(s, BASS_SYNC_FREE | BASS_SYNC_MIXTIME, 0, probeFree, &probe), 0u);
        const bool decoding = (c.flags & BASS_STREAM_DECODE) != 0;
        if (!decoding) {
            ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
        }
        if (c.end == End::byStop) {
            EXPECT_TRUE(BASS_ChannelStop(s));
        } else if (decoding) {
            float buffer[2 * 2048];
            EXPECT_EQ(BASS_ChannelGetData(s, buffer, sizeof buffer), 960 * 2 * sizeof(float));
            EXPECT_EQ(BASS_ChannelGetData(s, buffer, sizeof buffer), DWORD(-1));
            EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
        } else {
            // The mixing thread plays it to its end.
            EXPECT_TRUE(waitUntil([&] { return source.left == 0; }));
        }
        BASS_CHANNELINFO info{};
        if (c.freed) {
            // A stop frees at once; an end, once the mixing thread saw it.
            if (c.end == End::byStop) {
                EXPECT_EQ(probe.calls, 1);
            }
            EXPECT_TRUE(waitUntil([&] { return probe.calls == 1; }));
            EXPECT_FALSE(BASS_ChannelGetInfo(s, &info));
            EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
            EXPECT_TRUE(probe.wrongInside.empty());
        } else {
            // Long enough for the mixing thread to have seen the end.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(probe.calls, 0);
            EXPECT_TRUE(BASS_ChannelGetInfo(s, &info));
            EXPECT_TRUE(BASS_StreamFree(s));
            EXPECT_EQ(probe.calls, 1);
        }
    }
}
