// A stereo delay of exactly kLatency frames that reports that latency: what
// comes in leaves unchanged, kLatency frames later.
#include "EntryPoints.h"
#include "PassThroughEffect.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <array>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using talven::testplugin::PassThroughController;
using talven::testplugin::PassThroughProcessor;
using talven::testplugin::TestClass;
using talven::testplugin::TestFactoryDescription;

constexpr uint32 kLatency = 300;

class DelayProcessor : public PassThroughProcessor {
public:
    explicit DelayProcessor(const FUID& controllerClass) : PassThroughProcessor(controllerClass) {}

    uint32 PLUGIN_API getLatencySamples() override { return kLatency; }

    tresult PLUGIN_API setActive(TBool state) override
    {
        for (auto& line : lines_)
            line.fill(0.0f);
        position_ = 0;
        return PassThroughProcessor::setActive(state);
    }

    tresult PLUGIN_API process(ProcessData& data) override
    {
        if (data.numInputs < 1 || data.numOutputs < 1 || data.inputs[0].numChannels < 2 ||
            data.outputs[0].numChannels < 2 || data.symbolicSampleSize != kSample32)
            return kResultOk;
        for (int32 i = 0; i < data.numSamples; ++i) {
            for (size_t c = 0; c < lines_.size(); ++c) {
                const float in = data.inputs[0].channelBuffers32[c][i];
                data.outputs[0].channelBuffers32[c][i] = lines_[c][position_];
                lines_[c][position_] = in;
            }
            position_ = (position_ + 1) % kLatency;
        }
        return kResultOk;
    }

private:
    std::array<std::array<float, kLatency>, 2> lines_{};
    uint32 position_ = 0;
};

const TestFactoryDescription& description()
{
    static const FUID processorUid(0x7A1E0009, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
    static const FUID controllerUid(0x7A1E0009, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);
    static const TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, "Talven Fixed Latency", ComponentFlags::kDistributable, "Fx|Delay",
         []() -> FUnknown* { return static_cast<IAudioProcessor*>(new DelayProcessor(controllerUid)); }},
        {controllerUid, kVstComponentControllerClass, "Talven Fixed Latency Controller", 0, "",
         [] { return PassThroughController::create(); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
