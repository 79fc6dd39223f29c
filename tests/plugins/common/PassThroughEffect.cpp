#include "PassThroughEffect.h"

#include "public.sdk/source/vst/vstbus.h"

#include <algorithm>
#include <cstring>

namespace talven::testplugin {

using namespace Steinberg;
using namespace Steinberg::Vst;

PassThroughProcessor::PassThroughProcessor(const FUID& controllerClass)
{
    setControllerClass(controllerClass);
}

FUnknown* PassThroughProcessor::create(const FUID& controllerClass)
{
    return static_cast<IAudioProcessor*>(new PassThroughProcessor(controllerClass));
}

tresult PLUGIN_API PassThroughProcessor::initialize(FUnknown* context)
{
    tresult result = Component::initialize(context);
    if (result != kResultOk)
        return result;
    audioInputs.push_back(IPtr<Bus>(new AudioBus(STR16("Input"), kMain, BusInfo::kDefaultActive,
                                                 SpeakerArr::kStereo), false));
    audioOutputs.push_back(IPtr<Bus>(new AudioBus(STR16("Output"), kMain, BusInfo::kDefaultActive,
                                                  SpeakerArr::kStereo), false));
    return kResultOk;
}

tresult PLUGIN_API PassThroughProcessor::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                            SpeakerArrangement* outputs, int32 numOuts)
{
    bool stereo = numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == SpeakerArr::kStereo
                  && outputs[0] == SpeakerArr::kStereo;
    return stereo ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API PassThroughProcessor::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr)
{
    BusList* list = getBusList(kAudio, dir);
    if (!list || index < 0 || index >= static_cast<int32>(list->size()))
        return kInvalidArgument;
    arr = static_cast<AudioBus*>(list->at(static_cast<size_t>(index)).get())->getArrangement();
    return kResultTrue;
}

tresult PLUGIN_API PassThroughProcessor::canProcessSampleSize(int32 symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API PassThroughProcessor::setupProcessing(ProcessSetup&)
{
    return kResultOk;
}

tresult PLUGIN_API PassThroughProcessor::setProcessing(TBool)
{
    return kResultOk;
}

tresult PLUGIN_API PassThroughProcessor::process(ProcessData& data)
{
    if (data.numInputs < 1 || data.numOutputs < 1 || !data.inputs || !data.outputs)
        return kResultOk;
    const AudioBusBuffers& in = data.inputs[0];
    AudioBusBuffers& out = data.outputs[0];
    int32 channels = std::min(in.numChannels, out.numChannels);
    for (int32 c = 0; c < channels; ++c) {
        if (in.channelBuffers32[c] != out.channelBuffers32[c])
            std::memcpy(out.channelBuffers32[c], in.channelBuffers32[c],
                        sizeof(Sample32) * static_cast<size_t>(std::max(data.numSamples, 0)));
    }
    return kResultOk;
}

FUnknown* PassThroughController::create()
{
    return static_cast<IEditController*>(new PassThroughController);
}

const TestFactoryDescription& passThroughDescription()
{
    static const FUID processorUid(0x7A1E0001, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
    static const FUID controllerUid(0x7A1E0001, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);
    static const TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, "Talven Pass-Through", ComponentFlags::kDistributable, "Fx",
         [] { return PassThroughProcessor::create(controllerUid); }},
        {controllerUid, kVstComponentControllerClass, "Talven Pass-Through Controller", 0, "",
         [] { return PassThroughController::create(); }},
    };
    static const TestFactoryDescription description{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                                    classes, 2, 3};
    return description;
}

} // namespace talven::testplugin
