#include "host/BusSetup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talven {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// A component and processor that declares audio buses of given channel
// counts, refuses every arrangement asked (so keeps its own) and writes down
// what the host asks and activates.
class FixedBuses : public IComponent, public IAudioProcessor {
public:
    std::vector<int32> inputs;
    std::vector<int32> outputs;
    bool arrangementsReadable = true;

    bool asked = false;
    std::vector<SpeakerArrangement> askedInputs;
    std::vector<SpeakerArrangement> askedOutputs;
    std::vector<std::string> activations;

    tresult PLUGIN_API queryInterface(const TUID, void** obj) override
    {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    // ---- IComponent
    tresult PLUGIN_API initialize(FUnknown*) override { return kResultOk; }
    tresult PLUGIN_API terminate() override { return kResultOk; }
    tresult PLUGIN_API getControllerClassId(TUID) override { return kResultFalse; }
    tresult PLUGIN_API setIoMode(IoMode) override { return kResultOk; }
    int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) override
    {
        return type == kAudio ? static_cast<int32>(of(dir).size()) : 1; // one event bus each way
    }
    tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override
    {
        if (type != kAudio || index < 0 || index >= static_cast<int32>(of(dir).size()))
            return kInvalidArgument;
        bus.channelCount = of(dir)[static_cast<size_t>(index)];
        bus.busType = index == 0 ? kMain : kAux;
        return kResultOk;
    }
    tresult PLUGIN_API getRoutingInfo(RoutingInfo&, RoutingInfo&) override { return kNotImplemented; }
    tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override
    {
        activations.push_back(std::string(type == kAudio ? "audio" : "event") + (dir == kInput ? " in " : " out ") +
                              std::to_string(index) + (state ? " on" : " off"));
        return kResultOk;
    }
    tresult PLUGIN_API setActive(TBool) override { return kResultOk; }
    tresult PLUGIN_API setState(IBStream*) override { return kResultOk; }
    tresult PLUGIN_API getState(IBStream*) override { return kResultOk; }

    // ---- IAudioProcessor
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement* in, int32 numIns, SpeakerArrangement* out,
                                          int32 numOuts) override
    {
        asked = true;
        askedInputs.assign(in, in + numIns);
        askedOutputs.assign(out, out + numOuts);
        return kResultFalse;
    }
    tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arrangement) override
    {
        if (!arrangementsReadable || index < 0 || index >= static_cast<int32>(of(dir).size()))
            return kResultFalse;
        arrangement = of(dir)[static_cast<size_t>(index)] == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
        return kResultOk;
    }
    tresult PLUGIN_API canProcessSampleSize(int32) override { return kResultOk; }
    uint32 PLUGIN_API getLatencySamples() override { return 0; }
    tresult PLUGIN_API setupProcessing(ProcessSetup&) override { return kResultOk; }
    tresult PLUGIN_API setProcessing(TBool) override { return kResultOk; }
    tresult PLUGIN_API process(ProcessData&) override { return kResultOk; }
    uint32 PLUGIN_API getTailSamples() override { return 0; }

private:
    std::vector<int32>& of(BusDirection dir) { return dir == kInput ? inputs : outputs; }
};

TEST(BusSetupTest, TheMainBusesAreAskedForTheChannelsLayoutAndActivatedOnlyWhenTheyCanCarryIt)
{
    using Arrangements = std::vector<SpeakerArrangement>;
    using Calls = std::vector<std::string>;
    struct Case {
        const char* what;
        std::vector<int32> inputs;
        std::vector<int32> outputs;
        bool readable;
        int32 channels;
        bool asked;
        Arrangements askedInputs;
        Arrangements askedOutputs;
        BusFit fit;
        Calls activations; // at set-up, then at release
    };
    const Case cases[] = {
        {"stereo with a mono side-chain", {2, 1}, {2}, true, 2, true, {SpeakerArr::kStereo, SpeakerArr::kMono},
         {SpeakerArr::kStereo}, BusFit::usable, {"audio in 0 on", "audio out 0 on", "audio in 0 off", "audio out 0 off"}},
        {"a side-chain whose arrangement cannot be read keeps its usual one", {2, 1}, {2}, false, 6, true,
         {SpeakerArr::k51, SpeakerArr::kMono}, {SpeakerArr::k51}, BusFit::usable,
         {"audio in 0 on", "audio out 0 on", "audio in 0 off", "audio out 0 off"}},
        {"a second stereo output", {1}, {1, 2}, true, 1, true, {SpeakerArr::kMono},
         {SpeakerArr::kMono, SpeakerArr::kStereo}, BusFit::usable,
         {"audio in 0 on", "audio out 0 on", "audio in 0 off", "audio out 0 off"}},
        {"more channels than any usual layout", {2}, {2}, true, 9, false, {}, {}, BusFit::usable,
         {"audio in 0 on", "audio out 0 on", "audio in 0 off", "audio out 0 off"}},
        {"an analyser: no output bus", {2}, {}, true, 2, true, {SpeakerArr::kStereo}, {}, BusFit::usable,
         {"audio in 0 on", "audio in 0 off"}},
        {"a generator: no input bus", {}, {2}, true, 2, true, {}, {SpeakerArr::kStereo}, BusFit::usable,
         {"audio out 0 on", "audio out 0 off"}},
        {"an output of no channels", {2}, {0}, true, 2, true, {SpeakerArr::kStereo}, {SpeakerArr::kStereo},
         BusFit::unusable, {"audio in 0 off", "audio out 0 off"}},
        {"no audio bus", {}, {}, true, 2, false, {}, {}, BusFit::unusable, {}},
        {"an input of no channels and no output", {0}, {}, true, 2, true, {SpeakerArr::kStereo}, {},
         BusFit::unusable, {"audio in 0 off"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FixedBuses plugin;
        plugin.inputs = c.inputs;
        plugin.outputs = c.outputs;
        plugin.arrangementsReadable = c.readable;
        EXPECT_EQ(setUpBuses(plugin, plugin, c.channels), c.fit);
        releaseBuses(plugin);
        EXPECT_EQ(plugin.asked, c.asked);
        EXPECT_EQ(plugin.askedInputs, c.askedInputs);
        EXPECT_EQ(plugin.askedOutputs, c.askedOutputs);
        EXPECT_EQ(plugin.activations, c.activations);
    }
}

} // namespace
} // namespace talven
