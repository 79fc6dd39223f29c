#include "BridgeTestSupport.h"
#include "IsolatedRun.h"
#include "TestSupport.h"

namespace talven {
namespace {

using test::BridgeTest;
using test::Probe;
using test::signalBlock;

using AttachmentTest = BridgeTest;

// Handles of DSPs or syncs still set on the channel, among those the engine
// gave out after `since` (it numbers channels, DSPs and syncs from one
// counter). Those found are removed in the search.
std::vector<DWORD> callbacksLeft(HSTREAM stream, DWORD since)
{
    const HDSP next = BASS_ChannelSetDSP(stream, [](HDSP, DWORD, void*, DWORD, void*) {}, nullptr, 0);
    std::vector<DWORD> left;
    for (DWORD handle = since + 1; handle < next; ++handle) {
        if (BASS_ChannelRemoveDSP(stream, handle) || BASS_ChannelRemoveSync(stream, handle))
            left.push_back(handle);
    }
    BASS_ChannelRemoveDSP(stream, next);
    return left;
}

TEST_F(AttachmentTest, BothAttachFormsGiveConsecutiveHandlesAndNeitherOpensAnEditor)
{
    Probe probe("ProbeStereo");
    const HSTREAM first = decodeStream(2);
    const HSTREAM second = decodeStream(2);
    const std::uint32_t a = TALVEN_ChannelSetDSP(first, probe.path().c_str(), 0, 0, 0, 0, 0, nullptr, "title");
    const std::uint32_t b = TALVEN_ChannelSetDSPEx(second, probe.path().c_str(), 0, 0, nullptr, 0, 0, 0, 0, 0,
                                                   nullptr, "title");
    ASSERT_NE(a, 0u);
    EXPECT_EQ(b, a + 1);
    EXPECT_NE(pull(first, 2, 64), signalBlock(0, 2, 64));
    EXPECT_NE(pull(second, 2, 64), signalBlock(0, 2, 64));
    const std::string trace = test::readTraceFile();
    EXPECT_EQ(test::countLines(trace, "TALVEN_ChannelSetDSPEx start"), 2);
    EXPECT_EQ(test::countLines(trace, "openEditor createViewAndShow true"), 0);
}

TEST_F(AttachmentTest, AttachSetsThePluginUpForTheChannelsRateAnd4096FramesThenSwitchesItOn)
{
    Probe probe("ProbeStereo");
    test::SignalSource source(2);
    const HSTREAM stream = BASS_StreamCreate(44100, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE,
                                             test::SignalSource::proc, &source);
    ASSERT_NE(attach(stream, probe.path()), 0u);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.setupSampleRate, 44100);
    EXPECT_EQ(stats.setupMaxSamples, 4096);
    EXPECT_EQ(stats.setupSampleSize, 0); // 32-bit
    EXPECT_EQ(stats.activations, 1);
    EXPECT_EQ(stats.processingOn, 1);
    EXPECT_EQ(stats.violations, 0);
    if (!test::isolatedRun()) { // the bridge that writes the line runs in talven-host
        EXPECT_EQ(test::countLines(test::readTraceFile(), "updateProcessSetup setProcessing(true)"), 1);
    }
}

TEST_F(AttachmentTest, DetachSwitchesThePluginOffReleasesItAndLeavesTheChannelDry)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    const DWORD before = BASS_ChannelSetSync(stream, BASS_SYNC_FREE, 0, [](HSYNC, DWORD, DWORD, void*) {}, nullptr);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    pull(stream, 2, 64);
    // The channel argument is not looked at.
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0xBADC0DE, handle), 1);

    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.processingOff, 1);
    EXPECT_EQ(stats.deactivations, 1);
    EXPECT_EQ(stats.terminations, 1);
    EXPECT_EQ(stats.violations, 0);
    EXPECT_EQ(pull(stream, 2, 64), signalBlock(64, 2, 64));
    EXPECT_EQ(probe.stats().processCalls, 1);
    EXPECT_TRUE(callbacksLeft(stream, before).empty());
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 0);
    EXPECT_EQ(TALVEN_GetBypass(handle), 0);
}

TEST_F(AttachmentTest, FreeingTheChannelSwitchesThePluginOffTakesItDownAndForgetsTheHandle)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    pull(stream, 2, 64);
    EXPECT_NE(TALVEN_ChannelFree(stream), 0);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.processingOff, 1);
    EXPECT_EQ(stats.deactivations, 1);
    EXPECT_EQ(stats.terminations, 1);
    EXPECT_EQ(stats.violations, 0); // not terminated while active
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 0);
    EXPECT_EQ(TALVEN_GetBypass(handle), 0);
    EXPECT_EQ(TALVEN_ChannelFree(stream), 0);
}

TEST_F(AttachmentTest, AFailedAttachLeavesNothingOnTheChannelAndUsesUpItsHandle)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    const std::uint32_t first = attach(stream, probe.path());
    ASSERT_NE(first, 0u);
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, first), 1);
    probe.reset();

    const DWORD before = BASS_ChannelSetSync(stream, BASS_SYNC_FREE, 0, [](HSYNC, DWORD, DWORD, void*) {}, nullptr);
    EXPECT_EQ(attach(stream, test::testPluginPath("NoSuchPlugin")), 0u);
    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_ChannelSetSync", BASS_ERROR_MEM));
    EXPECT_EQ(attach(stream, probe.path()), 0u);
    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_ChannelSetDSP", BASS_ERROR_MEM));
    EXPECT_EQ(attach(stream, probe.path()), 0u);
    EXPECT_TRUE(callbacksLeft(stream, before).empty());
    EXPECT_EQ(pull(stream, 2, 64), signalBlock(0, 2, 64));
    // What is set on the channel, the search does find.
    BASS_ChannelSetDSP(stream, [](HDSP, DWORD, void*, DWORD, void*) {}, nullptr, 0);
    EXPECT_EQ(callbacksLeft(stream, before).size(), 1u);

    // Each plug-in that was set up and switched on went off before it went.
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.activations, 2);
    EXPECT_EQ(stats.deactivations, 2);
    EXPECT_EQ(stats.terminations, 2);
    EXPECT_EQ(stats.violations, 0);
    EXPECT_EQ(attach(stream, probe.path()), first + 4);
}

TEST_F(AttachmentTest, BadArgumentsGiveZeroWithoutReachingAnything)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    EXPECT_EQ(TALVEN_ChannelSetDSP(stream, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(TALVEN_ChannelSetDSPEx(stream, nullptr, 0, 0, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(TALVEN_ChannelSetDSP(stream, "\xff\xfe/not UTF-8", 0, 0, 0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(TALVEN_ChannelSetDSP(0xDEAD, probe.path().c_str(), 0, 0, 0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, 0), 0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, 0x7FFFFFFF), 0);
    EXPECT_EQ(TALVEN_GetBypass(0), 0);
    EXPECT_EQ(TALVEN_GetBypass(0x7FFFFFFF), 0);
    EXPECT_EQ(TALVEN_ChannelFree(0), 0);
    EXPECT_EQ(probe.stats().terminations, probe.stats().activations);
    EXPECT_EQ(pull(stream, 2, 64), signalBlock(0, 2, 64));
}

TEST_F(AttachmentTest, TheChannelFreeResultIsBassStreamFreesAndFreeingDetachesEveryPluginOnIt)
{
    Probe probe("ProbeStereo");
    Probe mono("ProbeMono");
    const HSTREAM stream = decodeStream(2);
    const std::uint32_t a = attach(stream, probe.path());
    const std::uint32_t b = attach(stream, mono.path());
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    // Both run on the channel, one after the other.
    const std::vector<float> got = pull(stream, 2, 32);
    EXPECT_FLOAT_EQ(got[2], signalBlock(0, 2, 32)[2] * 0.25f);
    EXPECT_FLOAT_EQ(got[3], signalBlock(0, 2, 32)[3] * 0.5f);
    EXPECT_EQ(TALVEN_ChannelFree(stream), 1);
    EXPECT_EQ(probe.stats().terminations + mono.stats().terminations, 2);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, a), 0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, b), 0);
}

// A 16-bit stereo source: frame j holds j and -j on its two channels.
struct ShortSource {
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* source = static_cast<ShortSource*>(user);
        auto* samples = static_cast<std::int16_t*>(buffer);
        const DWORD frames = length / (2 * sizeof(std::int16_t));
        for (DWORD j = 0; j < frames; ++j, ++source->frame) {
            samples[2 * j] = static_cast<std::int16_t>(source->frame % 20000);
            samples[2 * j + 1] = static_cast<std::int16_t>(-(source->frame % 20000));
        }
        return frames * 2 * sizeof(std::int16_t);
    }
    std::int64_t frame = 0;
};

// BASS's default streams are 16-bit; a DSP sees their samples as such
// unless float DSP is on. Read as floats they would be loud noise.
TEST_F(AttachmentTest, AnIntegerChannelIsRefusedUnlessFloatDspIsOnAndLeftAloneWhileItIsOff)
{
    Probe probe("ProbeStereo");
    ShortSource shortSource;
    const HSTREAM integer = BASS_StreamCreate(48000, 2, BASS_STREAM_DECODE, ShortSource::proc, &shortSource);
    ShortSource eightBitSource;
    const HSTREAM eightBit =
        BASS_StreamCreate(48000, 2, BASS_SAMPLE_8BITS | BASS_STREAM_DECODE, ShortSource::proc, &eightBitSource);
    ASSERT_NE(integer, 0u);
    ASSERT_NE(eightBit, 0u);
    const HSTREAM floating = decodeStream(2);
    const std::uint32_t before = attach(floating, probe.path());
    ASSERT_NE(before, 0u);

    EXPECT_EQ(attach(integer, probe.path()), 0u);
    EXPECT_EQ(attach(eightBit, probe.path()), 0u);
    EXPECT_EQ(probe.stats().activations, 1); // nothing was loaded for them
    std::int16_t block[2 * 256];
    ASSERT_EQ(BASS_ChannelGetData(integer, block, sizeof block), sizeof block);
    EXPECT_EQ(block[2 * 255], 255); // untouched
    EXPECT_EQ(block[2 * 255 + 1], -255);

    // With float DSP on the DSP sees floats, so the plug-in is attached and
    // processes; switched off again, the 16-bit blocks pass untouched.
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    const std::uint32_t handle = attach(integer, probe.path());
    EXPECT_EQ(handle, before + 1); // the refusals used no handle
    ASSERT_NE(handle, 0u);
    const std::int64_t processed = probe.stats().processCalls;
    ASSERT_EQ(BASS_ChannelGetData(integer, block, sizeof block), sizeof block);
    EXPECT_GT(probe.stats().processCalls, processed);
    EXPECT_EQ(block[2 * 100], 178); // frame 356 at the probe's gain of one half
    EXPECT_EQ(block[2 * 100 + 1], -178);

    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, FALSE));
    const std::int64_t calls = probe.stats().processCalls;
    ASSERT_EQ(BASS_ChannelGetData(integer, block, sizeof block), sizeof block);
    EXPECT_EQ(probe.stats().processCalls, calls);
    EXPECT_EQ(block[0], 512); // frames 512.. untouched
    EXPECT_EQ(block[2 * 255 + 1], -(512 + 255));
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
}

} // namespace
} // namespace talven
