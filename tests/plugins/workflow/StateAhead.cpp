// A gain whose component starts from another value (0.8) than its edit
// controller's default (0.25), as a plug-in does whose processor restores
// its last settings by itself: only the component's state, handed to the
// controller with setComponentState, tells the controller what the
// processor runs. Output = input * 2 * gain.
#include "EntryPoints.h"
#include "PassThroughEffect.h"

#include "base/source/fstreamer.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/vstparameters.h"

#include <algorithm>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr ParamID kGainId = 0;
constexpr double kComponentGain = 0.8;
constexpr double kControllerDefault = 0.25;

class StateAheadProcessor : public talven::testplugin::PassThroughProcessor {
public:
    using PassThroughProcessor::PassThroughProcessor;

    tresult PLUGIN_API getState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        return state && streamer.writeDouble(gain_) ? kResultOk : kResultFalse;
    }
    tresult PLUGIN_API setState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        return state && streamer.readDouble(gain_) ? kResultOk : kResultFalse;
    }
    tresult PLUGIN_API process(ProcessData& data) override
    {
        readGain(data.inputParameterChanges);
        if (data.numInputs < 1 || data.numOutputs < 1)
            return kResultOk;
        const int32 channels = std::min(data.inputs[0].numChannels, data.outputs[0].numChannels);
        for (int32 c = 0; c < channels; ++c)
            for (int32 i = 0; i < data.numSamples; ++i)
                data.outputs[0].channelBuffers32[c][i] =
                    data.inputs[0].channelBuffers32[c][i] * static_cast<float>(2 * gain_);
        return kResultOk;
    }

private:
    void readGain(IParameterChanges* changes)
    {
        for (int32 i = 0; changes && i < changes->getParameterCount(); ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            int32 offset = 0;
            ParamValue value = 0;
            if (queue && queue->getParameterId() == kGainId && queue->getPointCount() > 0
                && queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
                gain_ = value;
        }
    }

    double gain_ = kComponentGain;
};

class StateAheadController : public EditController {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        tresult result = EditController::initialize(context);
        if (result == kResultOk)
            parameters.addParameter(STR16("Gain"), nullptr, 0, kControllerDefault, ParameterInfo::kCanAutomate,
                                    kGainId);
        return result;
    }
    tresult PLUGIN_API setComponentState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        double gain = 0;
        if (!state || !streamer.readDouble(gain))
            return kResultFalse;
        return setParamNormalized(kGainId, gain);
    }
};

const talven::testplugin::TestFactoryDescription& description()
{
    static const FUID processorUid(0x7A1E0004, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
    static const FUID controllerUid(0x7A1E0004, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);
    static const talven::testplugin::TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, "Talven State Ahead", ComponentFlags::kDistributable, "Fx",
         [] { return static_cast<FUnknown*>(static_cast<IAudioProcessor*>(new StateAheadProcessor(controllerUid))); }},
        {controllerUid, kVstComponentControllerClass, "Talven State Ahead Controller", 0, "",
         [] { return static_cast<FUnknown*>(static_cast<IEditController*>(new StateAheadController)); }},
    };
    static const talven::testplugin::TestFactoryDescription table{
        "Talven Tests", "https://talven.invalid", "tests@talven.invalid", classes, 2, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
