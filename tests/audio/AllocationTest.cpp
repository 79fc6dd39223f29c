// Counts the heap allocations of the block path. Every allocation of the
// program goes through the counting operators (talven_allocation_counter);
// only the test's own thread is counted, which is the thread the blocks run
// on.
#include "AllocationCounter.h"
#include "AudioTestSupport.h"
#include "TestSupport.h"

#include "instance/BassCallbacks.h"
#include "instance/PluginInstance.h"
#include "log/TraceLog.h"
#include "registry/Registry.h"
#include "talven.h"

namespace talven {
namespace {

using support::allocationsOf;
using test::signalBlock;

class AllocationTest : public test::EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(support::allocationCounterInUse());
        // The trace lines of every block are written as they are, file and
        // all: they allocate nothing either.
        writeTraceLine("warm-up");
    }

    // Runs blocks of the given lengths (frames) through the plug-in attached
    // to a channel of the given width, `rounds` times, from the very first
    // block on; returns their allocations, trace lines included.
    long long allocationsOfBlocks(const std::string& plugin, int channels, const std::vector<int>& lengths,
                                  int rounds, bool withEdits = false)
    {
        const HSTREAM stream = decodeStream(channels);
        const std::uint32_t handle =
            TALVEN_ChannelSetDSP(stream, test::testPluginPath(plugin).c_str(), 0, 0, 0, 0, 0, nullptr, "");
        EXPECT_NE(handle, 0u);
        PluginInstance* record = refInstance(handle);
        std::vector<std::vector<float>> blocks;
        for (int frames : lengths)
            blocks.push_back(signalBlock(0, channels, frames));
        const long long counted = allocationsOf([&] {
            for (int r = 0; r < rounds; ++r) {
                for (auto& block : blocks) {
                    if (withEdits && record) {
                        for (Steinberg::Vst::ParamID id = 0; id < 3; ++id)
                            record->plugin.componentHandler->performEdit(id, 0.125 * (id + 1));
                    }
                    dspCallback(0, stream, block.data(), static_cast<DWORD>(block.size() * sizeof(float)), record);
                }
            }
        });
        if (record)
            unrefHandle(handle);
        TALVEN_ChannelRemoveDSP(0, handle);
        return counted;
    }
};

TEST_F(AllocationTest, BlocksAllocateNothingFromTheFirstOnTheirTraceLinesIncluded)
{
    EXPECT_EQ(allocationsOfBlocks("ProbeStereo", 2, {512}, 200), 0);
}

TEST_F(AllocationTest, BlocksOfAnyLengthAllocateNothingLongOnesIncluded)
{
    EXPECT_EQ(allocationsOfBlocks("ProbeStereo", 2, {4096, 512, 100, 1, 3000, 10000, 777, 50000}, 30), 0);
}

TEST_F(AllocationTest, MismatchedChannelsSideChainsAnd64BitConversionAllocateNothingInSteadyState)
{
    EXPECT_EQ(allocationsOfBlocks("ProbeMono", 2, {512, 256}, 50), 0);
    EXPECT_EQ(allocationsOfBlocks("ProbeStereo", 1, {512, 256}, 50), 0);
    EXPECT_EQ(allocationsOfBlocks("ProbeSideChain", 2, {512, 256}, 50), 0);
    EXPECT_EQ(allocationsOfBlocks("Probe64", 2, {512, 5000}, 50), 0);
}

TEST_F(AllocationTest, HandingEditsToTheProcessorAllocatesNothing)
{
    EXPECT_EQ(allocationsOfBlocks("ProbeStereo", 2, {512}, 100, true), 0);
}

TEST_F(AllocationTest, AnInstrumentsBlocksDeliveringEventsAllocateNothing)
{
    std::uint32_t handle = 0;
    const HSTREAM stream = TALVEN_StreamCreate(test::kRate, 2, test::testPluginPath("EventRecorder").c_str(), nullptr,
                                               BASS_STREAM_DECODE, &handle);
    ASSERT_NE(stream, 0u);
    PluginInstance* record = refInstance(handle);
    ASSERT_NE(record, nullptr);
    std::vector<float> block(2 * 512);
    auto render = [&](int blocks) {
        for (int b = 0; b < blocks; ++b)
            instrumentStreamProc(stream, block.data(), static_cast<DWORD>(block.size() * sizeof(float)), record);
    };
    // Notes, controllers, pitch bends and system exclusive at frames across
    // the blocks to come; a first round lets the parameter queues grow to
    // what a block of them needs.
    const std::uint8_t sysex[] = {0xF0, 0x7D, 0x01, 0x02, 0xF7};
    auto sendFrom = [&](std::uint64_t first) {
        std::vector<TALVEN_MIDI_EVENT> events;
        for (std::uint64_t frame = first; frame < first + 100 * 512; frame += 97) {
            const auto step = static_cast<std::uint8_t>(frame % 100);
            events.push_back({frame, 0x90, step, 100, 0, 0, nullptr});
            events.push_back({frame + 40, 0x80, step, 0, 0, 0, nullptr});
            events.push_back({frame + 7, 0xB0, 7, step, 0, 0, nullptr});
            events.push_back({frame + 9, 0xE0, 0, step, 0, 0, nullptr});
            events.push_back({frame + 11, 0xF0, 0, 0, 0, sizeof sysex, sysex});
        }
        const auto count = static_cast<std::int32_t>(events.size());
        EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, events.data(),
                                      static_cast<std::uint32_t>(count)),
                  count);
    };
    sendFrom(0);
    render(100);
    sendFrom(100 * 512);
    EXPECT_EQ(support::allocationsOf([&] { render(100); }), 0);
    unrefHandle(handle);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

} // namespace
} // namespace talven
