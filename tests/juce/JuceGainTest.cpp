// The JUCE-built gain (tests/plugins/juce) through the library: the
// processed output is the input at the gain set, mute silences it, its
// latency delays an impulse by exactly the frames reported, presets keep
// every parameter, its meter reads back what it played; and across all of
// it, editor included, JUCE prints not one assertion.
#include "JucePlugin.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace talven::test {
namespace {

constexpr int kReadOnly = 1 << 1; // VST 3 ParameterInfo::kIsReadOnly

// Normalized gain of the plug-in's -60 to +12 dB range, in dB.
double decibels(double normalized)
{
    return -60.0 + 72.0 * normalized;
}

TEST(JuceAssertions, NotOneIsPrintedWhileTheJucePluginIsAttachedPlayedStoredAndShown)
{
    if (inJuceChild())
        GTEST_SKIP() << "the child runs the tests it counts";
    const ChildRun run = runJuceChild("JuceGain*:JuceEditor*");
    const int assertions = countJuceAssertions(run.errorOutput);
    std::printf("JUCE assertions printed: %d\n", assertions);
    EXPECT_TRUE(run.exitedCleanly) << "the child failed or ended early; its standard error:\n" << run.errorOutput;
    EXPECT_EQ(assertions, 0) << run.errorOutput;
}

class JuceGainTest : public JucePluginTest {};

struct GainCase {
    const char* what;
    float gain;  // normalized
    float mute;  // 0 or 1
    double factor;
};

TEST_F(JuceGainTest, TheOutputIsTheInputAtTheGainSetAndMuteSilencesIt)
{
    const std::uint32_t gain = param("Gain");
    const std::uint32_t mute = param("Mute");
    const std::uint32_t meter = param("Output Level");
    const GainCase cases[] = {
        {"-6 dB", 0.75f, 0.0f, std::pow(10.0, decibels(0.75f) / 20.0)},
        {"+6 dB", 66.0f / 72.0f, 0.0f, std::pow(10.0, decibels(66.0f / 72.0f) / 20.0)},
        {"-60 dB", 0.0f, 0.0f, 0.001},
        {"-6 dB muted", 0.75f, 1.0f, 0.0},
        {"unmuted again, -12 dB", 0.75f - 6.0f / 72.0f, 0.0f,
         std::pow(10.0, decibels(0.75f - 6.0f / 72.0f) / 20.0)},
    };
    for (const GainCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TALVEN_SetParam(handle, gain, c.gain), 0);
        EXPECT_EQ(TALVEN_SetParam(handle, mute, c.mute), 0);
        read(2048); // the edits reach the processor with the next block
        const long long first = position();
        const std::vector<float> out = read(4096);
        double worst = 0.0;
        float peak = 0.0f;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double expected = signal.sample(first + static_cast<long long>(i / 2)) * c.factor;
            worst = std::max(worst, std::abs(out[i] - expected));
            peak = std::max(peak, std::abs(out[i]));
        }
        EXPECT_LE(worst, 1e-6);
        // The read-only meter reports what the last block played.
        EXPECT_TRUE(waitUntil([&] { return std::abs(TALVEN_GetParam(handle, meter) - peak) < 1e-3; }))
            << TALVEN_GetParam(handle, meter) << " against " << peak;
    }
}

TEST_F(JuceGainTest, TheMeterIsReadOnly)
{
    TALVEN_PARAMETERINFO described{};
    const std::uint32_t meter = param("Output Level");
    for (int i = 0; i < TALVEN_GetParamCount(handle); ++i) {
        TALVEN_PARAMETERINFO each{};
        if (TALVEN_GetParamInfo(handle, i, &each) == 0 && each.id == meter)
            described = each;
    }
    EXPECT_NE(described.flags & kReadOnly, 0);
}

TEST_F(JuceGainTest, TheLatencyDelaysAnImpulseByExactlyTheFramesReported)
{
    const std::uint32_t latency = param("Latency");
    const struct {
        float choice;
        int frames;
    } cases[] = {{1.0f, 333}, {0.5f, 64}, {0.0f, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames);
        signal.impulseAt = -1;
        EXPECT_EQ(TALVEN_SetParam(handle, latency, c.choice), 0);
        // The plug-in asks for a restart from its message thread; the library
        // carries it out with the next TALVEN_GetInfo.
        ASSERT_TRUE(waitUntil([&] {
            read(512);
            return info().latencySamples == c.frames;
        }));
        read(1024); // settled, its delay line flushed with the sine
        signal.impulseAt = position() + 3000;
        const long long first = position();
        const std::vector<float> out = read(8192);
        long long loudest = -1;
        for (std::size_t i = 0; i < out.size(); i += 2) {
            if (std::abs(out[i]) > 0.5f && loudest < 0)
                loudest = first + static_cast<long long>(i / 2);
        }
        EXPECT_EQ(loudest - signal.impulseAt.load(), c.frames);
    }
}

TEST_F(JuceGainTest, ARecalledPresetGivesBackEveryParameterStored)
{
    const std::uint32_t ids[] = {param("Gain"), param("Mute"), param("Character"), param("Latency")};
    const float stored[] = {0.25f, 1.0f, 1.0f, 0.5f};
    const float other[] = {0.9f, 0.0f, 0.0f, 0.0f};
    for (std::size_t i = 0; i < std::size(ids); ++i)
        ASSERT_EQ(TALVEN_SetParam(handle, ids[i], stored[i]), 0);
    read(1024);
    ASSERT_EQ(TALVEN_StorePreset("juce.vstpreset", 0, handle), 1);
    for (std::size_t i = 0; i < std::size(ids); ++i)
        ASSERT_EQ(TALVEN_SetParam(handle, ids[i], other[i]), 0);
    read(1024);
    ASSERT_EQ(TALVEN_RecallPreset("juce.vstpreset", handle), 1);
    for (std::size_t i = 0; i < std::size(ids); ++i)
        EXPECT_NEAR(TALVEN_GetParam(handle, ids[i]), stored[i], 1e-6) << "parameter " << i;
    // And the processor took it: -42 dB, muted.
    read(1024);
    const std::vector<float> out = read(1024);
    for (float sample : out)
        ASSERT_EQ(sample, 0.0f);
}

} // namespace
} // namespace talven::test
