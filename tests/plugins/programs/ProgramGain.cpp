// A gain with five programs: program k sets the gain to k/10 (output = input
// * gain), on the processor through the program-change parameter and on the
// controller's "Gain" parameter. Built in three shapes (TALVEN_PROGRAM_SHAPE):
//   0  the root unit's program list and its program-change parameter
//   1  the list alone: nothing selects a program
//   2  the program-change parameter alone, no units and no list
#include "EntryPoints.h"
#include "PassThroughEffect.h"

#include "base/source/fstreamer.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/vstparameters.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#ifndef TALVEN_PROGRAM_SHAPE
#define TALVEN_PROGRAM_SHAPE 0
#endif

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr ParamID kGainId = 0;
constexpr ParamID kProgramId = 1; // also the list's id
constexpr int32 kPrograms = 5;
constexpr double kDefaultGain = 0.5;
const char16_t* const kNames[kPrograms] = {u"Silence", u"One Tenth", u"Two Tenths", u"Three Tenths", u"Four Tenths"};

double programGain(ParamValue value)
{
    return std::lround(std::clamp(value, 0.0, 1.0) * (kPrograms - 1)) / 10.0;
}

class ProgramGainProcessor : public talven::testplugin::PassThroughProcessor {
public:
    using PassThroughProcessor::PassThroughProcessor;

    tresult PLUGIN_API getState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        return state && streamer.writeDouble(gain_.load()) ? kResultOk : kResultFalse;
    }
    tresult PLUGIN_API setState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        double gain = 0;
        if (!state || !streamer.readDouble(gain))
            return kResultFalse;
        gain_ = gain;
        return kResultOk;
    }
    tresult PLUGIN_API process(ProcessData& data) override
    {
        IParameterChanges* changes = data.inputParameterChanges;
        for (int32 i = 0; changes && i < changes->getParameterCount(); ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            int32 offset = 0;
            ParamValue value = 0;
            if (!queue || queue->getPointCount() < 1
                || queue->getPoint(queue->getPointCount() - 1, offset, value) != kResultOk)
                continue;
            if (queue->getParameterId() == kGainId)
                gain_ = value;
            else if (queue->getParameterId() == kProgramId)
                gain_ = programGain(value);
        }
        if (data.numInputs < 1 || data.numOutputs < 1)
            return kResultOk;
        const int32 channels = std::min(data.inputs[0].numChannels, data.outputs[0].numChannels);
        const auto gain = static_cast<float>(gain_.load());
        for (int32 c = 0; c < channels; ++c)
            for (int32 i = 0; i < data.numSamples; ++i)
                data.outputs[0].channelBuffers32[c][i] = data.inputs[0].channelBuffers32[c][i] * gain;
        return kResultOk;
    }

private:
    // Written by setState on the caller's thread while blocks run.
    std::atomic<double> gain_{kDefaultGain};
};

class ProgramGainController : public EditControllerEx1 {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = EditControllerEx1::initialize(context);
        if (result != kResultOk)
            return result;
        parameters.addParameter(STR16("Gain"), nullptr, 0, kDefaultGain, ParameterInfo::kCanAutomate, kGainId);
        if (TALVEN_PROGRAM_SHAPE == 2) {
            auto* program = new StringListParameter(STR16("Program"), kProgramId, nullptr,
                                                    ParameterInfo::kCanAutomate | ParameterInfo::kIsList
                                                        | ParameterInfo::kIsProgramChange);
            for (const char16_t* name : kNames)
                program->appendString(reinterpret_cast<const TChar*>(name));
            parameters.addParameter(program);
            return kResultOk;
        }
        addUnit(new Unit(STR16("Root"), kRootUnitId, kNoParentUnitId, kProgramId));
        auto* list = new ProgramList(STR16("Programs"), kProgramId, kRootUnitId);
        for (const char16_t* name : kNames)
            list->addProgram(reinterpret_cast<const TChar*>(name));
        addProgramList(list);
        if (TALVEN_PROGRAM_SHAPE == 0)
            parameters.addParameter(list->getParameter());
        return kResultOk;
    }
    tresult PLUGIN_API setComponentState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        double gain = 0;
        if (!state || !streamer.readDouble(gain))
            return kResultFalse;
        return EditControllerEx1::setParamNormalized(kGainId, gain);
    }
    // Taking a program sets the gain it stands for, as plug-ins set every
    // parameter a program holds.
    tresult PLUGIN_API setParamNormalized(ParamID tag, ParamValue value) override
    {
        const tresult result = EditControllerEx1::setParamNormalized(tag, value);
        if (result == kResultOk && tag == kProgramId)
            EditControllerEx1::setParamNormalized(kGainId, programGain(value));
        return result;
    }
};

const talven::testplugin::TestFactoryDescription& description()
{
    static const FUID processorUid(0x7A1E0006, 0x5E7A4C11, 0x9D3B2F60, 0x0000A000 + TALVEN_PROGRAM_SHAPE);
    static const FUID controllerUid(0x7A1E0006, 0x5E7A4C11, 0x9D3B2F60, 0x0000C000 + TALVEN_PROGRAM_SHAPE);
    static const talven::testplugin::TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, "Talven Program Gain", ComponentFlags::kDistributable, "Fx",
         [] { return static_cast<FUnknown*>(static_cast<IAudioProcessor*>(new ProgramGainProcessor(controllerUid))); }},
        {controllerUid, kVstComponentControllerClass, "Talven Program Gain Controller", 0, "",
         [] { return static_cast<FUnknown*>(static_cast<IEditController*>(new ProgramGainController)); }},
    };
    static const talven::testplugin::TestFactoryDescription table{
        "Talven Tests", "https://talven.invalid", "tests@talven.invalid", classes, 2, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
