#include "bass.h" // the test engine's full API, first: the library's own declarations share its guard

#include "instance/PluginInstance.h"
#include "registry/Registry.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace talven {
namespace {

// Each test starts with a fresh registry (as after a load) and a fresh
// trace file, and ends by unloading it, which also stops the idle timer.
struct RegistryTest : ::testing::Test {
    void SetUp() override
    {
        registryUnload();
        registryLoad();
        setHandleCounterForTesting(0);
        test::removeTraceFile();
    }
    void TearDown() override
    {
        registryUnload();
        registryLoad();
    }
};

TEST_F(RegistryTest, HandlesCountUpFromOneAndAreNotReusedAfterDestruction)
{
    PluginInstance* first = createHandle();
    PluginInstance* second = createHandle();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->handle, 1u);
    EXPECT_EQ(second->handle, 2u);
    EXPECT_EQ(first->holds, 1);
    EXPECT_EQ(unrefHandle(1), 1);
    PluginInstance* third = createHandle();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->handle, 3u);
    unrefHandle(2);
    unrefHandle(3);

    const std::string trace = test::readTraceFile();
    for (const char* line : {"createHandle start", "malloc creation", "EnterCriticalSection before",
                             "EnterCriticalSection after", "sjhashFind before", "sjhashFind after",
                             "createHandle end"})
        EXPECT_EQ(test::countLines(trace, line), 3) << line;
}

TEST_F(RegistryTest, TheCounterWrapsFromTheLargestHandleToOne)
{
    setHandleCounterForTesting(0x7FFFFFFE);
    PluginInstance* last = createHandle();
    PluginInstance* wrapped = createHandle();
    ASSERT_NE(last, nullptr);
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(last->handle, 0x7FFFFFFFu);
    EXPECT_EQ(wrapped->handle, 1u);
    unrefHandle(0x7FFFFFFF);
    unrefHandle(1);
}

TEST_F(RegistryTest, ANumberStillHeldIsRefusedAndConsumed)
{
    PluginInstance* live = createHandle();
    ASSERT_NE(live, nullptr);
    setHandleCounterForTesting(0); // as if the counter had wrapped back onto a live record
    test::removeTraceFile();
    EXPECT_EQ(createHandle(), nullptr);
    EXPECT_EQ(test::countLines(test::readTraceFile(), "createHandle end"), 0);
    PluginInstance* next = createHandle();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->handle, 2u);
    EXPECT_EQ(refInstance(1), live); // the refused attempt left the live record alone
    unrefHandle(1);
    unrefHandle(1);
    unrefHandle(2);
}

TEST_F(RegistryTest, ARecordLivesUntilItsLastHoldIsReleased)
{
    PluginInstance* record = createHandle();
    ASSERT_NE(record, nullptr);
    const std::uint32_t handle = record->handle;
    EXPECT_EQ(refInstance(handle), record);
    EXPECT_EQ(record->holds, 2);
    EXPECT_EQ(unrefHandle(handle), 1);
    EXPECT_EQ(refInstance(handle), record); // still there
    EXPECT_EQ(unrefHandle(handle), 1);
    EXPECT_EQ(unrefHandle(handle), 1); // the last hold: destroyed now
    EXPECT_EQ(refInstance(handle), nullptr);
    EXPECT_EQ(unrefHandle(handle), 0);
    EXPECT_EQ(refInstance(12345), nullptr);
    EXPECT_EQ(unrefHandle(12345), 0);
}

TEST_F(RegistryTest, TheIdleTimerRunsTwoHundredTicksAfterTheLastDestructionThenStops)
{
    PluginInstance* record = createHandle();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(idleTimerIdForTesting(), 0u);
    test::removeTraceFile();
    unrefHandle(record->handle);
    EXPECT_NE(idleTimerIdForTesting(), 0u);
    EXPECT_EQ(releaseCountdownForTesting(), 200);
    EXPECT_EQ(deferredReleaseCountForTesting(nullptr), 1);

    ASSERT_TRUE(test::waitUntil([] { return idleTimerIdForTesting() == 0; }, std::chrono::seconds(60)));
    EXPECT_EQ(deferredReleaseCountForTesting(nullptr), 0);
    const std::string trace = test::readTraceFile();
    EXPECT_EQ(test::countLines(trace, "idleDo start"), 200);
    EXPECT_EQ(test::countLines(trace, "idleDo unload before"), 200);
    EXPECT_EQ(test::countLines(trace, "idleDo end"), 200);

    // A later destruction starts it again.
    PluginInstance* again = createHandle();
    ASSERT_NE(again, nullptr);
    unrefHandle(again->handle);
    EXPECT_NE(idleTimerIdForTesting(), 0u);
    EXPECT_EQ(releaseCountdownForTesting(), 200);
}

TEST_F(RegistryTest, ADestructionDuringTheCountdownSetsItBackToTheFullLength)
{
    PluginInstance* first = createHandle();
    PluginInstance* second = createHandle();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    unrefHandle(first->handle);
    ASSERT_TRUE(test::waitUntil([] { return releaseCountdownForTesting() <= 195; }));
    const std::uint32_t timer = idleTimerIdForTesting();
    unrefHandle(second->handle);
    EXPECT_EQ(releaseCountdownForTesting(), 200);
    EXPECT_EQ(idleTimerIdForTesting(), timer); // the running timer is kept
    EXPECT_EQ(deferredReleaseCountForTesting(nullptr), 2);
}

void CALLBACK countingDsp(HDSP, DWORD, void*, DWORD, void* user)
{
    ++*static_cast<int*>(user);
}

void CALLBACK ignoredSync(HSYNC, DWORD, DWORD, void*) {}

DWORD CALLBACK silence(HSTREAM, void* buffer, DWORD length, void*)
{
    std::fill_n(static_cast<char*>(buffer), length, 0);
    return length;
}

TEST_F(RegistryTest, DestructionTakesTheCallbacksOffALiveChannelOnly)
{
    BASS_Init(0, 44100, 0, nullptr, nullptr); // BASS needs it even for decoding channels
    const HSTREAM stream = BASS_StreamCreate(44100, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, silence, nullptr);
    ASSERT_NE(stream, 0u);
    int calls = 0;
    float block[64];

    PluginInstance* record = createHandle();
    ASSERT_NE(record, nullptr);
    record->channel = stream;
    record->dspHandle = BASS_ChannelSetDSP(stream, countingDsp, &calls, 0);
    record->syncHandle = BASS_ChannelSetSync(stream, BASS_SYNC_FREE, 0, ignoredSync, nullptr);
    BASS_ChannelGetData(stream, block, sizeof block);
    EXPECT_EQ(calls, 1);
    unrefHandle(record->handle);
    BASS_ChannelGetData(stream, block, sizeof block);
    EXPECT_EQ(calls, 1); // the DSP was removed

    // A record whose channel BASS already freed makes no BASS call: its DSP
    // stays on this stream because the record no longer names the channel.
    PluginInstance* orphan = createHandle();
    ASSERT_NE(orphan, nullptr);
    const HDSP dsp = BASS_ChannelSetDSP(stream, countingDsp, &calls, 0);
    orphan->dspHandle = dsp;
    orphan->channel = 0;
    unrefHandle(orphan->handle);
    BASS_ChannelGetData(stream, block, sizeof block);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(RegistryTest, UnloadStopsTheTimerAndEmptiesTheTablesWithoutDestroyingRecords)
{
    PluginInstance* destroyed = createHandle();
    PluginInstance* attached = createHandle();
    ASSERT_NE(destroyed, nullptr);
    ASSERT_NE(attached, nullptr);
    unrefHandle(destroyed->handle);
    ASSERT_NE(idleTimerIdForTesting(), 0u);

    registryUnload();
    registryLoad();
    EXPECT_EQ(idleTimerIdForTesting(), 0u);
    EXPECT_EQ(deferredReleaseCountForTesting(nullptr), 0);
    EXPECT_EQ(refInstance(attached->handle), nullptr);
    EXPECT_EQ(attached->holds, 1); // left as it was
    std::default_delete<PluginInstance>()(attached); // what the process's end would leave
}

TEST_F(RegistryTest, ConcurrentHoldsAndReleasesDestroyEveryRecordExactlyOnce)
{
    constexpr int kRecords = 64;
    std::vector<std::uint32_t> handles;
    for (int i = 0; i < kRecords; ++i) {
        PluginInstance* record = createHandle();
        ASSERT_NE(record, nullptr);
        handles.push_back(record->handle);
    }
    std::atomic<bool> stop{false};
    std::atomic<int> unmatched{0};
    std::vector<std::thread> users;
    for (int t = 0; t < 4; ++t) {
        users.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            while (!stop.load()) {
                const std::uint32_t handle = handles[random() % handles.size()];
                if (PluginInstance* record = refInstance(handle)) {
                    if (record->handle != handle)
                        unmatched++;
                    if (unrefHandle(handle) != 1)
                        unmatched++;
                }
            }
        });
    }
    for (std::uint32_t handle : handles) {
        EXPECT_EQ(unrefHandle(handle), 1);
        std::this_thread::yield();
    }
    stop = true;
    for (auto& user : users)
        user.join();
    EXPECT_EQ(unmatched.load(), 0);
    for (std::uint32_t handle : handles)
        EXPECT_EQ(refInstance(handle), nullptr);
}

} // namespace
} // namespace talven
