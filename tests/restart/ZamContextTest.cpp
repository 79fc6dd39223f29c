// zam-plugins (DPF's implementation of the interfaces, not the Steinberg
// SDK's), held against the same plug-ins driven directly: ZaMaximX2's
// latency as its processor reports it, ZamDelay following the tempo it is
// told, and ZamCompX2's gain-reduction meter.
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "DirectProcessor.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace talven::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr int kBlock = 4096;

std::string zamPackage(const std::string& name)
{
    return "/usr/lib/vst3/" + name + ".vst3";
}

// The context the library gives a block at `position` of a channel pulled
// from its start, at tempo in 4/4: the same fields, computed the same way.
ProcessContext contextAt(std::int64_t position, double rate, double tempo)
{
    ProcessContext context{};
    context.state = ProcessContext::kPlaying | ProcessContext::kContTimeValid | ProcessContext::kTempoValid |
                    ProcessContext::kTimeSigValid | ProcessContext::kProjectTimeMusicValid |
                    ProcessContext::kBarPositionValid;
    context.sampleRate = rate;
    context.projectTimeSamples = position;
    context.continousTimeSamples = position;
    context.tempo = tempo;
    context.timeSigNumerator = 4;
    context.timeSigDenominator = 4;
    context.projectTimeMusic = static_cast<double>(position) / rate * tempo / 60.0;
    context.barPositionMusic = std::floor(context.projectTimeMusic / 4.0) * 4.0;
    return context;
}

std::string titleOf(const TALVEN_PARAMETERINFO& info)
{
    std::string title;
    for (int i = 0; i < 128 && info.title[i] != 0; ++i)
        title += static_cast<char>(info.title[i]);
    return title;
}

// The id of the parameter titled so, with or without the read-only flag.
bool findParameter(std::uint32_t handle, const std::string& title, bool readOnly, std::uint32_t& id)
{
    for (int32_t index = 0; index < TALVEN_GetParamCount(handle); ++index) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, index, &info) != kResultOk)
            continue;
        if (titleOf(info) == title && ((info.flags & ParameterInfo::kIsReadOnly) != 0) == readOnly) {
            id = info.id;
            return true;
        }
    }
    return false;
}

// A click at kClickAt in silence: one echo of it for a delay without
// feedback to place.
constexpr std::int64_t kClickAt = 4 * kBlock;
constexpr int kBlocks = 40;

float clickSample(std::int64_t frame)
{
    return frame == kClickAt ? 0.5f : 0.0f;
}

DWORD CALLBACK clickProc(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* next = static_cast<std::int64_t*>(user);
    auto* samples = static_cast<float*>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i)
        samples[i] = clickSample((*next)++);
    return length;
}

// Frames from the click to the loudest sample after it: where the echo is.
std::int64_t echoDelay(const std::vector<float>& made)
{
    const auto after = made.begin() + kClickAt + 1;
    const auto loudest = std::max_element(after, made.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
    return (loudest - made.begin()) - kClickAt;
}

class ZamContextTest : public RestartEngineTest {
protected:
    // What ZamDelay with tempo sync on makes of the click at tempo, driven
    // directly with the context the library gives each block.
    static std::vector<float> delayedDirectly(const std::string& package, std::uint32_t sync, double tempo)
    {
        support::DirectProcessor reference(package, kRate);
        EXPECT_TRUE(reference.ready());
        reference.setParameter(sync, 1.0);
        std::vector<float> made;
        for (std::int64_t position = 0; position < kBlocks * kBlock; position += kBlock) {
            std::vector<float> dry(kBlock);
            for (int i = 0; i < kBlock; ++i)
                dry[static_cast<size_t>(i)] = clickSample(position + i);
            reference.setContext(contextAt(position, kRate, tempo));
            const std::vector<float> block = reference.process(dry, 1);
            made.insert(made.end(), block.begin(), block.end());
        }
        return made;
    }

    // The same through the library, on a mono channel.
    std::vector<float> delayedThroughLibrary(const std::string& package, double tempo, std::uint32_t& sync)
    {
        std::int64_t next = 0;
        const HSTREAM mono = BASS_StreamCreate(kRate, 1, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, clickProc, &next);
        EXPECT_NE(mono, 0u);
        EXPECT_NE(attach(mono, package), 0u);
        EXPECT_TRUE(findParameter(handle, "Sync BPM", false, sync));
        EXPECT_EQ(TALVEN_SetParam(handle, sync, 1.0f), kResultOk);
        EXPECT_EQ(TALVEN_SetTransport(handle, tempo, 4, 4), 1);
        std::vector<float> got;
        for (int i = 0; i < kBlocks; ++i) {
            const std::vector<float> block = pull(mono, kBlock, 1);
            got.insert(got.end(), block.begin(), block.end());
        }
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        handle = 0;
        return got;
    }
};

TEST_F(ZamContextTest, ZaMaximX2sLatencyIsWhatItsProcessorReportsAtTheChannelsRate)
{
    const std::string package = zamPackage("ZaMaximX2");
    for (DWORD rate : {44100u, 48000u, 96000u}) {
        SCOPED_TRACE(rate);
        const HSTREAM channel = levelStream(rate);
        ASSERT_NE(channel, 0u);
        ASSERT_NE(attach(channel, package), 0u);
        support::DirectProcessor direct(package, rate);
        ASSERT_TRUE(direct.ready());
        const std::int32_t expected = direct.latency();
        EXPECT_GT(expected, 0);
        EXPECT_EQ(info().latencySamples, expected);
        // Processing does not move it.
        setLevel(0.5f);
        for (int i = 0; i < 20; ++i)
            pull(channel, 1024);
        EXPECT_EQ(info().latencySamples, expected);
        EXPECT_EQ(direct.latency(), expected);
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        handle = 0;
    }
}

TEST_F(ZamContextTest, ZamDelaySyncedToTheTempoWaitsAsLongAsTheTempoSaysAndAsWhenDrivenDirectly)
{
    const std::string package = zamPackage("ZamDelay");
    std::uint32_t sync = 0;
    const std::vector<float> slow = delayedThroughLibrary(package, 60, sync);
    const std::vector<float> fast = delayedThroughLibrary(package, 120, sync);
    const std::int64_t slowDelay = echoDelay(slow);
    const std::int64_t fastDelay = echoDelay(fast);
    EXPECT_GT(fastDelay, 1000);
    // Half the tempo, twice the wait (to a few frames of the delay's filter).
    EXPECT_NEAR(static_cast<double>(slowDelay), 2.0 * static_cast<double>(fastDelay), 8.0)
        << "at 60 BPM " << slowDelay << ", at 120 BPM " << fastDelay;
    EXPECT_EQ(slow, delayedDirectly(package, sync, 60));
    EXPECT_EQ(fast, delayedDirectly(package, sync, 120));
}

TEST_F(ZamContextTest, ZamCompX2sGainReductionRisesWithALoudPassageAndFallsBackAfterSilence)
{
    ASSERT_NE(levelStream(), 0u);
    ASSERT_NE(attach(stream, zamPackage("ZamCompX2")), 0u);
    HeardReports reports;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, HeardReports::hear, &reports), 1);
    std::uint32_t threshold = 0, reduction = 0;
    ASSERT_TRUE(findParameter(handle, "Threshold", false, threshold));
    ASSERT_TRUE(findParameter(handle, "Gain Reduction", true, reduction));
    ASSERT_EQ(TALVEN_SetParam(handle, threshold, 0.0f), kResultOk); // its lowest

    setLevel(0.9f);
    for (int i = 0; i < 50; ++i)
        pull(stream, 1024);
    const double loud = TALVEN_GetParam(handle, reduction);
    EXPECT_GT(loud, 0.1);
    const std::vector<HeardReports::Report> heard = reports.of(reduction);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back().value, loud);
    EXPECT_EQ(heard.back().handle, handle);

    setLevel(0);
    for (int i = 0; i < 100; ++i)
        pull(stream, 1024);
    EXPECT_LT(TALVEN_GetParam(handle, reduction), loud / 100);
    EXPECT_LT(reports.of(reduction).back().value, loud / 100);
}

} // namespace
} // namespace talven::test
