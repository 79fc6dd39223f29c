// A module of several classes, as bundles of plug-ins ship them: a
// pass-through effect, a half-gain effect, an instrument and their shared
// controller, in that factory order. Hosts pick an effect by its class ID;
// the instrument shares the audio module category and must be told apart by
// its sub-categories.
#include "EntryPoints.h"
#include "PassThroughEffect.h"

#include <algorithm>

using namespace Steinberg;

namespace talven::testplugin {
namespace {

const FUID passThroughUid(0x7A1E0005, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
const FUID halfGainUid(0x7A1E0005, 0x5E7A4C11, 0x9D3B2F60, 0x0000A002);
const FUID instrumentUid(0x7A1E0005, 0x5E7A4C11, 0x9D3B2F60, 0x0000A003);
const FUID controllerUid(0x7A1E0005, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);

// Halves what it passes, so that a test hears which effect it got.
class HalfGainProcessor : public PassThroughProcessor {
public:
    HalfGainProcessor() : PassThroughProcessor(controllerUid) {}

    tresult PLUGIN_API process(Vst::ProcessData& data) override
    {
        const tresult result = PassThroughProcessor::process(data);
        if (result != kResultOk || data.numOutputs < 1 || !data.outputs)
            return result;
        Vst::AudioBusBuffers& out = data.outputs[0];
        for (int32 c = 0; c < out.numChannels; ++c) {
            float* samples = out.channelBuffers32[c];
            std::for_each(samples, samples + std::max(data.numSamples, 0), [](float& s) { s *= 0.5f; });
        }
        return kResultOk;
    }
};

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        {passThroughUid, kVstAudioEffectClass, "Talven Choice Pass-Through", Vst::ComponentFlags::kDistributable,
         "Fx", [] { return PassThroughProcessor::create(controllerUid); }},
        {halfGainUid, kVstAudioEffectClass, "Talven Choice Half Gain", Vst::ComponentFlags::kDistributable,
         "Fx|Dynamics", []() -> FUnknown* { return static_cast<Vst::IAudioProcessor*>(new HalfGainProcessor); }},
        {instrumentUid, kVstAudioEffectClass, "Talven Choice Instrument", Vst::ComponentFlags::kDistributable,
         "Instrument|Synth", [] { return PassThroughProcessor::create(controllerUid); }},
        {controllerUid, kVstComponentControllerClass, "Talven Choice Controller", 0, "",
         [] { return PassThroughController::create(); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 4, 3};
    return table;
}

} // namespace
} // namespace talven::testplugin

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
