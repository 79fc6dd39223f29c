#include "sdk/HostProcessData.h"

#include <gtest/gtest.h>

#include <vector>

namespace Steinberg::Vst {
namespace {

// A component that only describes its audio buses.
class BusComponent : public IComponent {
public:
    std::vector<int32> inputChannels{2};
    std::vector<int32> outputChannels{2};
    int32 failingOutputBus = -1;

    tresult PLUGIN_API queryInterface(const TUID, void** obj) SMTG_OVERRIDE
    {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() SMTG_OVERRIDE { return 1; }
    uint32 PLUGIN_API release() SMTG_OVERRIDE { return 1; }
    tresult PLUGIN_API initialize(FUnknown*) SMTG_OVERRIDE { return kResultOk; }
    tresult PLUGIN_API terminate() SMTG_OVERRIDE { return kResultOk; }
    tresult PLUGIN_API getControllerClassId(TUID) SMTG_OVERRIDE { return kResultFalse; }
    tresult PLUGIN_API setIoMode(IoMode) SMTG_OVERRIDE { return kResultOk; }
    int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) SMTG_OVERRIDE
    {
        return type == kAudio ? static_cast<int32>(channels(dir).size()) : 0;
    }
    tresult PLUGIN_API getBusInfo(MediaType, BusDirection dir, int32 index, BusInfo& bus) SMTG_OVERRIDE
    {
        if (dir == kOutput && index == failingOutputBus)
            return kResultFalse;
        bus.channelCount = channels(dir).at(static_cast<size_t>(index));
        return kResultOk;
    }
    tresult PLUGIN_API getRoutingInfo(RoutingInfo&, RoutingInfo&) SMTG_OVERRIDE { return kNotImplemented; }
    tresult PLUGIN_API activateBus(MediaType, BusDirection, int32, TBool) SMTG_OVERRIDE { return kResultOk; }
    tresult PLUGIN_API setActive(TBool) SMTG_OVERRIDE { return kResultOk; }
    tresult PLUGIN_API setState(IBStream*) SMTG_OVERRIDE { return kResultOk; }
    tresult PLUGIN_API getState(IBStream*) SMTG_OVERRIDE { return kResultOk; }

private:
    std::vector<int32>& channels(BusDirection dir) { return dir == kInput ? inputChannels : outputChannels; }
};

TEST(HostProcessDataTest, PreparedBusesHaveWritableBuffersOfTheBlockLengthPerChannel)
{
    BusComponent component;
    component.inputChannels = {2, 1};
    component.outputChannels = {2};
    HostProcessData data;
    ASSERT_TRUE(data.prepare(component, 512, kSample32));
    ASSERT_EQ(data.numInputs, 2);
    ASSERT_EQ(data.numOutputs, 1);
    EXPECT_EQ(data.inputs[0].numChannels, 2);
    EXPECT_EQ(data.inputs[1].numChannels, 1);
    EXPECT_TRUE(data.ownsChannelBuffers());
    // Every buffer is distinct and holds the whole block.
    for (int32 c = 0; c < 2; ++c)
        for (int32 i = 0; i < 512; ++i)
            data.outputs[0].channelBuffers32[c][i] = static_cast<float>(c * 1000 + i);
    EXPECT_EQ(data.outputs[0].channelBuffers32[0][511], 511.0f);
    EXPECT_EQ(data.outputs[0].channelBuffers32[1][0], 1000.0f);
    EXPECT_EQ(data.inputs[1].channelBuffers32[0][0], 0.0f);

    data.unprepare();
    EXPECT_EQ(data.numInputs, 0);
    EXPECT_EQ(data.inputs, nullptr);
    EXPECT_EQ(data.outputs, nullptr);
}

TEST(HostProcessDataTest, AnUnchangedLayoutKeepsItsBuffersAndAnyChangeRebuildsThem)
{
    BusComponent component;
    HostProcessData data;
    ASSERT_TRUE(data.prepare(component, 256, kSample32));
    float* first = data.outputs[0].channelBuffers32[0];
    data.outputs[0].silenceFlags = 3;
    ASSERT_TRUE(data.prepare(component, 256, kSample32));
    EXPECT_EQ(data.outputs[0].channelBuffers32[0], first);
    EXPECT_EQ(data.outputs[0].silenceFlags, 0u);

    ASSERT_TRUE(data.prepare(component, 1024, kSample32)); // longer block
    data.outputs[0].channelBuffers32[1][1023] = 1.0f;

    ASSERT_TRUE(data.prepare(component, 1024, kSample64));
    EXPECT_EQ(data.symbolicSampleSize, kSample64);
    data.outputs[0].channelBuffers64[1][1023] = 1.0;

    component.outputChannels = {1};
    ASSERT_TRUE(data.prepare(component, 1024, kSample64));
    EXPECT_EQ(data.outputs[0].numChannels, 1);
}

TEST(HostProcessDataTest, AFixedChannelCountOverridesTheBusesAndANonPositiveLengthOwnsNoBuffers)
{
    BusComponent component;
    component.outputChannels = {2, 2};
    component.failingOutputBus = 1;
    HostProcessData data;
    ASSERT_TRUE(data.prepare(component, 64, kSample32, 1));
    EXPECT_EQ(data.inputs[0].numChannels, 1);
    EXPECT_EQ(data.outputs[0].numChannels, 1);
    EXPECT_EQ(data.outputs[1].numChannels, 0); // undescribed bus stays empty

    ASSERT_TRUE(data.prepare(component, 0, kSample32));
    EXPECT_FALSE(data.ownsChannelBuffers());
    ASSERT_EQ(data.outputs[0].numChannels, 2);
    EXPECT_EQ(data.outputs[0].channelBuffers32[0], nullptr);

    EXPECT_FALSE(data.prepare(component, -1, kSample32));
    EXPECT_FALSE(data.prepare(component, 64, 7));
}

} // namespace
} // namespace Steinberg::Vst
