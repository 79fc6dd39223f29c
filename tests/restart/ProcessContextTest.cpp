// The process context every block hands the plug-in: the channel's rate, the
// block's position in the channel's decoded stream (which a seek moves), the
// frames processed since the plug-in was last activated, and the tempo and
// time signature the program set, with the musical positions they make.
#include "IsolatedRun.h"
#include "RestartTestSupport.h"
#include "TestSupport.h"
#include "wav_writer.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace talven::test {
namespace {

using Steinberg::Vst::ProcessContext;

constexpr DWORD kFileRate = 44100;
constexpr int kFileFrames = 60000;
constexpr std::int32_t kAlwaysValid = ProcessContext::kPlaying | ProcessContext::kContTimeValid |
                                      ProcessContext::kTempoValid | ProcessContext::kTimeSigValid;
constexpr std::int32_t kPositionValid = ProcessContext::kProjectTimeMusicValid | ProcessContext::kBarPositionValid;

// Quarter notes from the start to frame at rate and tempo.
double quartersAt(std::int64_t frame, double rate, double tempo)
{
    return static_cast<double>(frame) / rate * tempo / 60.0;
}

// Where the bar holding that many quarter notes starts.
double barStart(double quarters, int numerator, int denominator)
{
    const double bar = numerator * 4.0 / denominator;
    return std::floor(quarters / bar) * bar;
}

::testing::AssertionResult toldPosition(const TalvenRestartContext& context, std::int64_t project,
                                        std::int64_t continuous, double rate, double tempo, int numerator,
                                        int denominator)
{
    const double quarters = quartersAt(project, rate, tempo);
    if (context.state == kAlwaysValid + kPositionValid && context.sampleRate == rate
        && context.projectTimeSamples == project && context.continuousTimeSamples == continuous
        && context.tempo == tempo && context.numerator == numerator && context.denominator == denominator
        && std::fabs(context.projectTimeMusic - quarters) < 1e-9
        && std::fabs(context.barPositionMusic - barStart(quarters, numerator, denominator)) < 1e-9)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "told state " << context.state << ", rate " << context.sampleRate << ", project "
           << context.projectTimeSamples << ", continuous " << context.continuousTimeSamples << ", tempo "
           << context.tempo << " " << context.numerator << "/" << context.denominator << ", quarters "
           << context.projectTimeMusic << ", bar at " << context.barPositionMusic << "; expected project "
           << project << ", continuous " << continuous << ", quarters " << quarters;
}

class ProcessContextTest : public RestartEngineTest {
protected:
    // The ramp as a float file at 44100 Hz, decoded on this thread, with the
    // plug-in attached.
    void SetUp() override
    {
        RestartEngineTest::SetUp();
        std::vector<double> samples;
        for (int frame = 0; frame < kFileFrames; ++frame)
            for (int channel = 0; channel < 2; ++channel)
                samples.push_back(rampSample(frame, channel));
        basstest::WavLayout layout;
        layout.rate = kFileRate;
        layout.bits = 32;
        layout.isFloat = true;
        basstest::writeWav("ramp.wav", layout, samples);
        stream = BASS_StreamCreateFile(FALSE, "ramp.wav", 0, 0, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE);
        ASSERT_NE(stream, 0u);
        ASSERT_NE(attach(stream), 0u);
    }

    void seek(std::int64_t frame)
    {
        ASSERT_TRUE(BASS_ChannelSetPosition(stream, static_cast<QWORD>(frame) * 2 * sizeof(float), BASS_POS_BYTE));
    }

    // The project time of a block after a seek to frame, pulled frames
    // after the attach: isolated it counts the frames the plug-in was
    // handed, which a seek does not move (talven.h says so).
    static std::int64_t projectAfterSeek(std::int64_t frame, std::int64_t pulled)
    {
        return isolatedRun() ? pulled : frame;
    }

    TalvenRestartContext lastContext()
    {
        const std::vector<TalvenRestartContext> all = plugin.contexts();
        return all.empty() ? TalvenRestartContext{} : all.back();
    }
};

TEST_F(ProcessContextTest, EveryPieceIsToldTheChannelsRateItsPositionAndTheDefaultTempoAndSignature)
{
    pull(stream, 1000);
    // Longer than the 4096 frames announced: three pieces, each where it is.
    pull(stream, 10000);
    const std::vector<TalvenRestartContext> told = plugin.contexts();
    ASSERT_EQ(told.size(), 4u);
    const int pieces[] = {1000, 4096, 4096, 1808};
    std::int64_t position = 0;
    for (size_t i = 0; i < told.size(); ++i) {
        EXPECT_EQ(told[i].numSamples, pieces[i]);
        EXPECT_TRUE(toldPosition(told[i], position, position, kFileRate, 120, 4, 4)) << "piece " << i;
        position += pieces[i];
    }
}

TEST_F(ProcessContextTest, ATransportSettingReachesTheNextBlockAndARefusedOneChangesNothing)
{
    pull(stream, 1000);
    ASSERT_EQ(TALVEN_SetTransport(handle, 999, 3, 16), 1);
    pull(stream, 1000);
    EXPECT_TRUE(toldPosition(lastContext(), 1000, 1000, kFileRate, 999, 3, 16));

    EXPECT_EQ(TALVEN_SetTransport(handle, 0, 4, 4), 0);
    EXPECT_EQ(TALVEN_SetTransport(handle, 120, 4, 3), 0);
    // Far enough on for the bar to start past the beginning.
    seek(30000);
    pull(stream, 1000);
    EXPECT_TRUE(toldPosition(lastContext(), projectAfterSeek(30000, 2000), 2000, kFileRate, 999, 3, 16));
    EXPECT_GT(lastContext().barPositionMusic, 0);

    ASSERT_EQ(TALVEN_SetTransport(handle, 60.5, 7, 8), 1);
    pull(stream, 1000);
    EXPECT_TRUE(toldPosition(lastContext(), projectAfterSeek(31000, 3000), 3000, kFileRate, 60.5, 7, 8));
}

TEST_F(ProcessContextTest, TheProjectTimeFollowsASeekWhileTheContinuousTimeKeepsCounting)
{
    if (isolatedRun())
        GTEST_SKIP() << "isolated, the project time counts the frames handed over: a seek does not move it";
    pull(stream, 1000);
    seek(30000);
    pull(stream, 500);
    EXPECT_TRUE(toldPosition(lastContext(), 30000, 1000, kFileRate, 120, 4, 4));
    seek(100);
    pull(stream, 500);
    EXPECT_TRUE(toldPosition(lastContext(), 100, 1500, kFileRate, 120, 4, 4));
    pull(stream, 700);
    EXPECT_TRUE(toldPosition(lastContext(), 600, 2000, kFileRate, 120, 4, 4));
}

TEST_F(ProcessContextTest, TheContinuousTimeStartsAgainWithEachActivation)
{
    pull(stream, 1000);
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    pull(stream, 500);
    ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
    pull(stream, 500);
    EXPECT_TRUE(toldPosition(lastContext(), 1500, 0, kFileRate, 120, 4, 4));
    pull(stream, 300);
    EXPECT_TRUE(toldPosition(lastContext(), 2000, 500, kFileRate, 120, 4, 4));

    ASSERT_EQ(plugin.request(Steinberg::Vst::kLatencyChanged), Steinberg::kResultOk);
    info();
    pull(stream, 300);
    EXPECT_TRUE(toldPosition(lastContext(), 2300, 0, kFileRate, 120, 4, 4));
}

// A playing channel, whose blocks the engine's mixing thread renders.
class PlayingContextTest : public RestartEngineTest {};

TEST_F(PlayingContextTest, BlocksOfAPlayingChannelFollowOneAnotherWithoutGaps)
{
    ASSERT_NE(playingRamp(), 0u);
    ASSERT_NE(attach(stream), 0u);
    ASSERT_TRUE(waitUntil([&] { return plugin.contexts().size() >= 20; }));
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    handle = 0;
    const std::vector<TalvenRestartContext> told = plugin.contexts();
    const std::int64_t start = told[0].projectTimeSamples;
    for (size_t i = 1; i < told.size(); ++i) {
        const TalvenRestartContext& before = told[i - 1];
        EXPECT_EQ(told[i].projectTimeSamples, before.projectTimeSamples + before.numSamples) << "block " << i;
        EXPECT_TRUE(toldPosition(told[i], told[i].projectTimeSamples, told[i].projectTimeSamples - start, kRate, 120,
                                 4, 4))
            << "block " << i;
    }
}

} // namespace
} // namespace talven::test
