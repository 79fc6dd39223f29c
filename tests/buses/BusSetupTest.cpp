// The buses a plug-in is given: negotiated for the channel's layout and
// activated before processing starts, adapted to when the plug-in refuses,
// set up again after it changed them, and a plug-in with nothing usable
// refused with the channel left as it was.
#include "ParameterTestSupport.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace talven::test {
namespace {

using Names = std::vector<std::string>;
using Steinberg::Vst::SpeakerArrangement;
namespace SpeakerArr = Steinberg::Vst::SpeakerArr;

constexpr DWORD kRate = 44100;

// Every channel its own ramp; halving any sample is exact in float.
float sampleAt(std::int64_t frame, int channel)
{
    return static_cast<float>(frame % 64 + 1 + 64 * channel) / 1024.0f;
}

struct RampSource {
    explicit RampSource(int channels) : channels(channels) {}
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* source = static_cast<RampSource*>(user);
        auto* samples = static_cast<float*>(buffer);
        const DWORD frames = length / (sizeof(float) * static_cast<DWORD>(source->channels));
        for (DWORD j = 0; j < frames; ++j, ++source->next) {
            for (int c = 0; c < source->channels; ++c)
                *samples++ = sampleAt(source->next, c);
        }
        return frames * sizeof(float) * static_cast<DWORD>(source->channels);
    }
    int channels;
    std::int64_t next = 0;
};

// The calls that set up and switch the plug-in and its buses.
Names setUpCalls(const RecordedPlugin& plugin)
{
    static const char* const prefixes[] = {"Processor::setBusArrangements", "Component::activateBus",
                                           "Processor::setupProcessing", "Component::setActive",
                                           "Processor::setProcessing"};
    Names found;
    for (const std::string& name : plugin.callNames()) {
        for (const char* prefix : prefixes) {
            if (name.rfind(prefix, 0) == 0)
                found.push_back(name);
        }
    }
    return found;
}

std::string arrangementCall(SpeakerArrangement main, const std::string& aux = "")
{
    const std::string asked = std::to_string(main);
    return "Processor::setBusArrangements in " + asked + aux + " out " + asked;
}

class BusSetupTest : public AttachedTest {
protected:
    HSTREAM rampStream(int channels)
    {
        sources_.push_back(std::make_unique<RampSource>(channels));
        return BASS_StreamCreate(kRate, static_cast<DWORD>(channels), BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE,
                                 RampSource::proc, sources_.back().get());
    }

    // frames x channels pulled through the channel's DSP chain, from its
    // first frame on (each stream is pulled once).
    static std::vector<float> pullFrames(HSTREAM stream, int channels, int frames)
    {
        std::vector<float> samples(static_cast<size_t>(frames * channels));
        const DWORD got = BASS_ChannelGetData(stream, samples.data(), static_cast<DWORD>(samples.size() * sizeof(float)));
        samples.resize(got == static_cast<DWORD>(-1) ? 0 : got / sizeof(float));
        return samples;
    }

    // What comes out when the first `processed` channels are halved and the
    // others pass dry.
    static std::vector<float> expected(int channels, int frames, int processed)
    {
        std::vector<float> samples;
        for (int j = 0; j < frames; ++j) {
            for (int c = 0; c < channels; ++c)
                samples.push_back(sampleAt(j, c) * (c < processed ? 0.5f : 1.0f));
        }
        return samples;
    }

    std::uint32_t attachTo(HSTREAM stream, const std::string& plugin)
    {
        return TALVEN_ChannelSetDSP(stream, testPluginPath(plugin).c_str(), 0, 0, 0, 0, 0, nullptr, "test");
    }

private:
    std::vector<std::unique_ptr<RampSource>> sources_;
};

TEST_F(BusSetupTest, TheMainBusesAreNegotiatedAndActivatedBeforeProcessingStartsAndNoOtherBusIs)
{
    RecordedPlugin plugin("BusRecorder");
    const HSTREAM stream = rampStream(2);
    const std::uint32_t handle = attachTo(stream, "BusRecorder");
    ASSERT_NE(handle, 0u);
    // The side-chain keeps its own stereo layout and stays inactive; the
    // event input is activated, since events may be sent to it.
    EXPECT_EQ(setUpCalls(plugin),
              (Names{arrangementCall(SpeakerArr::kStereo, ",3"), "Component::activateBus audio in 0 1",
                     "Component::activateBus audio out 0 1", "Component::activateBus event in 0 1",
                     "Processor::setupProcessing 4096 44100",
                     "Component::setActive 1", "Processor::setProcessing 1"}));
    // It writes nothing to an inactive bus: halved output shows both active.
    EXPECT_EQ(pullFrames(stream, 2, 300), expected(2, 300, 2));

    plugin.clear();
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(setUpCalls(plugin), (Names{"Processor::setProcessing 0", "Component::setActive 0",
                                         "Component::activateBus audio in 0 0",
                                         "Component::activateBus audio out 0 0"}));
    EXPECT_LT(plugin.indexOf("Component::activateBus audio out 0 0"), plugin.indexOf("Component::terminate"));
}

TEST_F(BusSetupTest, EachChannelCountAsksForItsOwnLayoutAndAPluginTakingItProcessesEveryChannel)
{
    struct Case {
        int channels;
        SpeakerArrangement asked; // kEmpty: no layout asked, the plug-in keeps stereo
        int processed;
    };
    const Case cases[] = {
        {1, SpeakerArr::kMono, 1},   {2, SpeakerArr::kStereo, 2}, {3, SpeakerArr::k30Cine, 3},
        {4, SpeakerArr::k40Music, 4}, {5, SpeakerArr::k50, 5},     {6, SpeakerArr::k51, 6},
        {7, SpeakerArr::k61Cine, 7}, {8, SpeakerArr::k71Music, 8}, {9, SpeakerArr::kEmpty, 2},
    };
    RecordedPlugin plugin("BusRecorder");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        plugin.clear();
        const HSTREAM stream = rampStream(c.channels);
        const std::uint32_t handle = attachTo(stream, "BusRecorder");
        ASSERT_NE(handle, 0u);
        Names asked;
        for (const std::string& call : setUpCalls(plugin)) {
            if (call.rfind("Processor::setBusArrangements", 0) == 0)
                asked.push_back(call);
        }
        EXPECT_EQ(asked, c.asked == SpeakerArr::kEmpty ? Names{} : Names{arrangementCall(c.asked, ",3")});
        EXPECT_EQ(pullFrames(stream, c.channels, 200), expected(c.channels, 200, c.processed));
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    }
}

// A plug-in that takes only mono hears the channel's first channel and
// writes it back; the other channels pass dry, sample for sample.
TEST_F(BusSetupTest, AMonoOnlyPluginProcessesTheFirstChannelAndTheOthersPassDry)
{
    for (int channels : {2, 6}) {
        SCOPED_TRACE(channels);
        const HSTREAM stream = rampStream(channels);
        const std::uint32_t handle = attachTo(stream, "ProbeMono");
        ASSERT_NE(handle, 0u);
        TALVEN_INFO info{};
        info.size = sizeof info;
        ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
        EXPECT_EQ(info.inputChannels, 1);
        EXPECT_EQ(info.outputChannels, 1);
        EXPECT_EQ(pullFrames(stream, channels, 5000), expected(channels, 5000, 1));
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    }
}

TEST_F(BusSetupTest, APluginWhoseBusesOfferNothingUsableIsRefusedAndTheChannelStaysAsItWas)
{
    for (const char* name : {"EmptyOutput", "NoAudioBuses"}) {
        SCOPED_TRACE(name);
        RecordedPlugin plugin(name);
        const HSTREAM stream = rampStream(2);
        DWORD dspsBefore = 0;
        DWORD syncsBefore = 0;
        ASSERT_TRUE(BASSTEST_GetCallbackCounts(stream, &dspsBefore, &syncsBefore));
        EXPECT_EQ(attachTo(stream, name), 0u);
        DWORD dsps = 99;
        DWORD syncs = 99;
        ASSERT_TRUE(BASSTEST_GetCallbackCounts(stream, &dsps, &syncs));
        EXPECT_EQ(dsps, dspsBefore);
        EXPECT_EQ(syncs, syncsBefore);
        EXPECT_EQ(pullFrames(stream, 2, 128), expected(2, 128, 0));
        // Made, never switched on, and gone again.
        EXPECT_FALSE(plugin.called("Component::setActive 1"));
        EXPECT_TRUE(plugin.called("Component::terminate"));
    }
}

TEST_F(BusSetupTest, AfterThePluginChangedItsBusesTheyAreNegotiatedAndActivatedAgain)
{
    RecordedPlugin plugin("BusRecorder");
    const HSTREAM stream = rampStream(2);
    const std::uint32_t handle = attachTo(stream, "BusRecorder");
    ASSERT_NE(handle, 0u);
    plugin.clear();
    ASSERT_EQ(plugin.requestRestart(Steinberg::Vst::kIoChanged), Steinberg::kResultOk);
    TALVEN_INFO info{};
    info.size = sizeof info; // the information is asked after the restart
    ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
    EXPECT_EQ(setUpCalls(plugin),
              (Names{"Processor::setProcessing 0", "Component::setActive 0",
                     arrangementCall(SpeakerArr::kStereo, ",3"), "Component::activateBus audio in 0 1",
                     "Component::activateBus audio out 0 1", "Component::activateBus event in 0 1",
                     "Processor::setupProcessing 4096 44100",
                     "Component::setActive 1", "Processor::setProcessing 1"}));
    EXPECT_EQ(pullFrames(stream, 2, 300), expected(2, 300, 2));
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
}

} // namespace
} // namespace talven::test
