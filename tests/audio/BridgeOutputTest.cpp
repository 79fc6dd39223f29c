#include "BridgeTestSupport.h"
#include "TestSupport.h"

#include "instance/BassCallbacks.h"
#include "instance/PluginInstance.h"
#include "registry/Registry.h"

#include <cstring>

namespace talven {
namespace {

using test::BridgeTest;
using test::Probe;
using test::channelOf;
using test::sameSamples;
using test::signalBlock;

TEST_F(BridgeTest, AStereoGainOnAStereoChannelGivesItsOwnOutputSampleForSample)
{
    Probe probe("ProbeStereo");
    EXPECT_EQ(expectReferenceOutput(probe.path(), 2, {512, 512, 1000}), 3);
    EXPECT_EQ(probe.stats().violations, 0);
    if (test::isolatedRun())
        return; // the bridge that writes these lines runs in talven-host
    const std::string trace = test::readTraceFile();
    EXPECT_EQ(test::countLines(trace, "processAudio: start>>>"), 3);
    EXPECT_EQ(test::countLines(trace, "processAudio: end<<<"), 3);
}

TEST_F(BridgeTest, MismatchedChannelCountsFeedThePluginItsOwnChannelsAndPassTheRestDry)
{
    Probe mono("ProbeMono");
    Probe stereo("ProbeStereo");
    EXPECT_EQ(expectReferenceOutput(mono.path(), 2, {512, 700}), 2);
    EXPECT_EQ(expectReferenceOutput(stereo.path(), 1, {512, 700}), 2);
    EXPECT_EQ(expectReferenceOutput(stereo.path(), 6, {300}), 1);
    // The plug-ins counted every bus as they declared it, every time.
    EXPECT_EQ(mono.stats().violations, 0);
    EXPECT_EQ(stereo.stats().violations, 0);

    // A mono plug-in on a stereo channel: left processed, right as it came.
    const HSTREAM stream = decodeStream(2);
    ASSERT_NE(attach(stream, mono.path()), 0u);
    const std::vector<float> got = pull(stream, 2, 256);
    const std::vector<float> dry = signalBlock(0, 2, 256);
    EXPECT_EQ(channelOf(got, 2, 1), channelOf(dry, 2, 1));
    EXPECT_NE(channelOf(got, 2, 0), channelOf(dry, 2, 0));
}

TEST_F(BridgeTest, AnOutputChannelThePluginDoesNotWritePassesThroughDry)
{
    Probe probe("ProbeLeftOnly");
    EXPECT_EQ(expectReferenceOutput(probe.path(), 2, {512}), 1);
    const HSTREAM stream = decodeStream(2);
    ASSERT_NE(attach(stream, probe.path()), 0u);
    const std::vector<float> got = pull(stream, 2, 512);
    const std::vector<float> dry = signalBlock(0, 2, 512);
    EXPECT_EQ(channelOf(got, 2, 1), channelOf(dry, 2, 1));
    std::vector<float> left = channelOf(dry, 2, 0);
    for (float& sample : left)
        sample *= 0.5f;
    EXPECT_EQ(channelOf(got, 2, 0), left);
}

TEST_F(BridgeTest, AProcessorThatOnlyTakes64BitSamplesIsSetUpFedAndReadBackIn64Bit)
{
    Probe probe("Probe64");
    EXPECT_EQ(expectReferenceOutput(probe.path(), 2, {512, 5000}), 2);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.setupSampleSize, 1); // 64-bit
    EXPECT_EQ(stats.lastSampleSize, 1);
    EXPECT_EQ(stats.violations, 0);
}

TEST_F(BridgeTest, APluginWithoutOutputBusHearsTheBlockAndLeavesItUntouched)
{
    Probe probe("ProbeNoOutput");
    const HSTREAM stream = decodeStream(2);
    ASSERT_NE(attach(stream, probe.path()), 0u);
    EXPECT_EQ(pull(stream, 2, 512), signalBlock(0, 2, 512));
    EXPECT_EQ(probe.stats().processCalls, 1);
    EXPECT_EQ(probe.stats().violations, 0);
}

TEST_F(BridgeTest, BusesAfterTheFirstCarryOnlySilence)
{
    Probe probe("ProbeSideChain");
    EXPECT_EQ(expectReferenceOutput(probe.path(), 2, {512, 512}), 2);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.auxInputNotSilent, 0);
    EXPECT_EQ(stats.auxOutputNotSilent, 0);
    EXPECT_EQ(stats.violations, 0);
}

TEST_F(BridgeTest, ABlockLongerThanTheAnnouncedMaximumReachesThePluginInPiecesOfAtMost4096Frames)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    ASSERT_NE(attach(stream, probe.path()), 0u);
    pull(stream, 2, 10000);
    const TalvenProbeStats stats = probe.stats();
    EXPECT_EQ(stats.setupMaxSamples, 4096);
    EXPECT_EQ(stats.maxNumSamples, 4096);
    EXPECT_EQ(stats.processCalls, 3);
    EXPECT_EQ(stats.totalSamples, 10000);
    EXPECT_EQ(stats.violations, 0);
    EXPECT_EQ(expectReferenceOutput(probe.path(), 2, {10000}), 1);
}

TEST_F(BridgeTest, BlocksOfChangingLengthAreEachProcessedWhole)
{
    Probe probe("ProbeStereo");
    EXPECT_EQ(expectReferenceOutput(probe.path(), 2, {512, 100, 4096, 1, 3000, 512, 4097}), 7);
    EXPECT_LE(probe.stats().maxNumSamples, 4096);
    EXPECT_EQ(probe.stats().violations, 0);
}

TEST_F(BridgeTest, BlockLengthsInBytesBecomeFramesOfTheChannelsWidthAndAPartialFrameStaysAsItWas)
{
    Probe probe("ProbeStereo");
    for (int channels : {1, 2}) {
        const HSTREAM stream = decodeStream(channels);
        const std::uint32_t handle = attach(stream, probe.path());
        ASSERT_NE(handle, 0u);
        std::vector<float> block = signalBlock(0, channels, 4096 / 4 / channels);
        PluginInstance* record = refInstance(handle);
        ASSERT_NE(record, nullptr);
        dspCallback(0, stream, block.data(), 4096, record);
        unrefHandle(handle);
        EXPECT_EQ(probe.stats().lastNumSamples, 1024 / channels);
        EXPECT_NE(block, signalBlock(0, channels, 4096 / 4 / channels));
    }
    // Three floats on a stereo channel: one frame, and half of the next.
    const HSTREAM stream = decodeStream(2);
    const std::uint32_t handle = attach(stream, probe.path());
    std::vector<float> block = {0.5f, 0.25f, 1234.5f};
    PluginInstance* record = refInstance(handle);
    ASSERT_NE(record, nullptr);
    dspCallback(0, stream, block.data(), 3 * sizeof(float), record);
    unrefHandle(handle);
    EXPECT_EQ(block, (std::vector<float>{0.25f, 0.125f, 1234.5f}));
}

TEST_F(BridgeTest, AFailingProcessLeavesTheBlockUntouchedAndTheNextBlockIsProcessed)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    ASSERT_NE(attach(stream, probe.path()), 0u);
    probe.failNext(1);
    EXPECT_EQ(pull(stream, 2, 512), signalBlock(0, 2, 512));
    if (!test::isolatedRun()) { // the bridge that writes the line runs in talven-host
        EXPECT_EQ(test::countLines(test::readTraceFile(), "processAudio: process failed"), 1);
    }
    support::DirectProcessor reference(probe.path(), test::kRate);
    EXPECT_TRUE(sameSamples(pull(stream, 2, 512), reference.process(signalBlock(512, 2, 512), 2), 2));
    EXPECT_EQ(probe.stats().failedCalls, 1);
}

TEST_F(BridgeTest, ABypassedPluginLeavesEveryByteAsBassGaveItAndIsNotCalled)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    test::removeTraceFile();
    const std::vector<float> got = pull(stream, 2, 777);
    const std::vector<float> dry = signalBlock(0, 2, 777);
    EXPECT_EQ(std::memcmp(got.data(), dry.data(), dry.size() * sizeof(float)), 0);
    EXPECT_EQ(probe.stats().processCalls, 0);
    EXPECT_EQ(test::countLines(test::readTraceFile(), "processAudio: start>>>"), 0);
    ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_EQ(TALVEN_GetBypass(handle), 0);
    EXPECT_NE(pull(stream, 2, 64), signalBlock(777, 2, 64));
}

// Edits the plug-in's controller reports reach its processor as changes of
// the next block, also when that block fails.
TEST_F(BridgeTest, EditsReportedByTheControllerReachTheProcessorWithTheNextProcessedBlock)
{
    Probe probe("ProbeStereo");
    const HSTREAM stream = decodeStream(2);
    const std::uint32_t handle = attach(stream, probe.path());
    ASSERT_NE(handle, 0u);
    support::DirectProcessor reference(probe.path(), test::kRate);
    {
        PluginInstance* record = refInstance(handle);
        ASSERT_NE(record, nullptr);
        record->plugin.componentHandler->performEdit(TALVEN_PROBE_GAIN_ID, 0.1);
        record->plugin.componentHandler->performEdit(TALVEN_PROBE_GAIN_ID, 0.75);
        unrefHandle(handle);
    }
    reference.setParameter(TALVEN_PROBE_GAIN_ID, 0.75);
    probe.failNext(1);
    EXPECT_EQ(pull(stream, 2, 256), signalBlock(0, 2, 256));
    EXPECT_TRUE(sameSamples(pull(stream, 2, 256), reference.process(signalBlock(256, 2, 256), 2), 2));
    // Delivered once: the block after keeps the value without a new change.
    EXPECT_TRUE(sameSamples(pull(stream, 2, 256), reference.process(signalBlock(512, 2, 256), 2), 2));
}

TEST_F(BridgeTest, AnInstanceWithoutPluginLeavesTheBlockAndSaysSo)
{
    PluginInstance* record = createHandle();
    ASSERT_NE(record, nullptr);
    record->channelCount = 2;
    record->floatChannel = true;
    std::vector<float> block = signalBlock(0, 2, 64);
    EXPECT_FALSE(processAudio(*record, block.data(), static_cast<DWORD>(block.size() * sizeof(float))));
    EXPECT_EQ(block, signalBlock(0, 2, 64));
    EXPECT_EQ(test::countLines(test::readTraceFile(), "processAudio: plugProvider problem"), 1);
    unrefHandle(record->handle);
}

} // namespace
} // namespace talven
