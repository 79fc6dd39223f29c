#include "RecordingPlugin.h"

#include "CallLog.h"

#include "base/source/fstreamer.h"
#include "public.sdk/source/vst/vstbus.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <mutex>

namespace talven::testplugin {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// The newest live component and controller, for the test exports.
std::mutex liveMutex;
RecordingProcessor* liveProcessor = nullptr;
RecordingController* liveController = nullptr;

std::string messageIdOf(IMessage* message)
{
    const char* id = message ? message->getMessageID() : nullptr;
    return id ? id : "";
}

const char* mediaName(MediaType type)
{
    return type == kAudio ? "audio" : type == kEvent ? "event" : "other";
}

// "3,3": the arrangements as numbers, in bus order.
std::string arrangementList(const SpeakerArrangement* arrangements, int32 count)
{
    std::string text;
    for (int32 i = 0; arrangements && i < count; ++i)
        text += (i ? "," : "") + std::to_string(arrangements[i]);
    return text;
}

tresult sendFrom(ComponentBase& sender, const char* id)
{
    IPtr<IMessage> message = owned(sender.allocateMessage());
    if (!message)
        return kResultFalse;
    message->setMessageID(id);
    return sender.sendMessage(message);
}

} // namespace

// ----------------------------------------------------------------- processor

RecordingProcessor::RecordingProcessor(const ProcessorOptions& options)
    : PassThroughProcessor(options.controllerClass), options_(options)
{
}

FUnknown* RecordingProcessor::create(const ProcessorOptions& options)
{
    return static_cast<IAudioProcessor*>(new RecordingProcessor(options));
}

tresult PLUGIN_API RecordingProcessor::initialize(FUnknown* context)
{
    recordCall(std::string("Component::initialize ") + (context ? "context" : "null"));
    if (options_.failInitialize)
        return kResultFalse;
    tresult result = PassThroughProcessor::initialize(context);
    if (result == kResultOk)
        declareBuses();
    std::lock_guard<std::mutex> guard(liveMutex);
    liveProcessor = this;
    return result;
}

void RecordingProcessor::declareBuses()
{
    switch (options_.buses) {
    case RecordedBuses::stereo:
        break;
    case RecordedBuses::everyKind:
        audioInputs.push_back(IPtr<Bus>(new AudioBus(STR16("Side-chain"), kAux, 0, SpeakerArr::kStereo), false));
        eventInputs.push_back(IPtr<Bus>(new EventBus(STR16("MIDI"), kMain, 0, 16), false));
        break;
    case RecordedBuses::emptyOutput:
        static_cast<AudioBus*>(audioOutputs.at(0).get())->setArrangement(SpeakerArr::kEmpty);
        break;
    case RecordedBuses::none:
        audioInputs.clear();
        audioOutputs.clear();
        break;
    }
}

tresult PLUGIN_API RecordingProcessor::terminate()
{
    recordCall("Component::terminate");
    {
        std::lock_guard<std::mutex> guard(liveMutex);
        if (liveProcessor == this)
            liveProcessor = nullptr;
    }
    return PassThroughProcessor::terminate();
}

tresult PLUGIN_API RecordingProcessor::getControllerClassId(TUID classId)
{
    recordCall("Component::getControllerClassId");
    return PassThroughProcessor::getControllerClassId(classId);
}

tresult PLUGIN_API RecordingProcessor::setIoMode(IoMode mode)
{
    recordCall("Component::setIoMode");
    return PassThroughProcessor::setIoMode(mode);
}

int32 PLUGIN_API RecordingProcessor::getBusCount(MediaType type, BusDirection dir)
{
    recordCall("Component::getBusCount");
    return PassThroughProcessor::getBusCount(type, dir);
}

tresult PLUGIN_API RecordingProcessor::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus)
{
    recordCall("Component::getBusInfo");
    return PassThroughProcessor::getBusInfo(type, dir, index, bus);
}

tresult PLUGIN_API RecordingProcessor::activateBus(MediaType type, BusDirection dir, int32 index, TBool state)
{
    recordCall(std::string("Component::activateBus ") + mediaName(type) + (dir == kInput ? " in " : " out ") +
               std::to_string(index) + (state ? " 1" : " 0"));
    return PassThroughProcessor::activateBus(type, dir, index, state);
}

tresult PLUGIN_API RecordingProcessor::setActive(TBool state)
{
    recordCall(std::string("Component::setActive ") + (state ? "1" : "0"));
    return PassThroughProcessor::setActive(state);
}

tresult PLUGIN_API RecordingProcessor::setState(IBStream* state)
{
    recordCall("Component::setState");
    IBStreamer streamer(state, kLittleEndian);
    double gain = 0;
    if (!state || !streamer.readDouble(gain))
        return kResultFalse;
    gain_ = gain;
    return kResultOk;
}

tresult PLUGIN_API RecordingProcessor::getState(IBStream* state)
{
    recordCall("Component::getState");
    IBStreamer streamer(state, kLittleEndian);
    return state && streamer.writeDouble(gain_) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API RecordingProcessor::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                          SpeakerArrangement* outputs, int32 numOuts)
{
    recordCall("Processor::setBusArrangements in " + arrangementList(inputs, numIns) + " out " +
               arrangementList(outputs, numOuts));
    if (options_.buses != RecordedBuses::everyKind)
        return PassThroughProcessor::setBusArrangements(inputs, numIns, outputs, numOuts);
    // Any layout of the main buses, as long as the side-chain stays stereo.
    if (numIns != 2 || numOuts != 1 || !inputs || !outputs || inputs[1] != SpeakerArr::kStereo ||
        SpeakerArr::getChannelCount(inputs[0]) == 0 || SpeakerArr::getChannelCount(outputs[0]) == 0)
        return kResultFalse;
    static_cast<AudioBus*>(audioInputs.at(0).get())->setArrangement(inputs[0]);
    static_cast<AudioBus*>(audioOutputs.at(0).get())->setArrangement(outputs[0]);
    return kResultTrue;
}

tresult PLUGIN_API RecordingProcessor::canProcessSampleSize(int32 symbolicSampleSize)
{
    recordCall("Processor::canProcessSampleSize " + std::to_string(symbolicSampleSize));
    return PassThroughProcessor::canProcessSampleSize(symbolicSampleSize);
}

tresult PLUGIN_API RecordingProcessor::setupProcessing(ProcessSetup& setup)
{
    recordCall("Processor::setupProcessing " + std::to_string(setup.maxSamplesPerBlock) + " " +
               std::to_string(static_cast<long long>(setup.sampleRate)));
    return PassThroughProcessor::setupProcessing(setup);
}

tresult PLUGIN_API RecordingProcessor::setProcessing(TBool state)
{
    recordCall(std::string("Processor::setProcessing ") + (state ? "1" : "0"));
    return PassThroughProcessor::setProcessing(state);
}

void RecordingProcessor::applyParameterChanges(IParameterChanges* changes)
{
    const int32 count = changes ? changes->getParameterCount() : 0;
    for (int32 i = 0; i < count; ++i) {
        IParamValueQueue* queue = changes->getParameterData(i);
        const int32 points = queue ? queue->getPointCount() : 0;
        if (points <= 0)
            continue;
        int32 offset = 0;
        ParamValue value = 0;
        queue->getPoint(points - 1, offset, value);
        recordCall("Processor::parameter " + std::to_string(queue->getParameterId()) + " " + std::to_string(value));
        if (queue->getParameterId() == kGainId)
            gain_ = value;
    }
}

tresult PLUGIN_API RecordingProcessor::process(ProcessData& data)
{
    recordCall("Processor::process " + std::to_string(data.numSamples));
    applyParameterChanges(data.inputParameterChanges);
    // Like the plug-ins of some frameworks, it writes nothing to buses its
    // host left inactive.
    if (options_.buses == RecordedBuses::everyKind &&
        !(audioInputs.at(0)->isActive() && audioOutputs.at(0)->isActive()))
        return kResultOk;
    if (data.numInputs < 1 || data.numOutputs < 1 || !data.inputs || !data.outputs ||
        data.symbolicSampleSize != kSample32)
        return kResultOk;
    const AudioBusBuffers& in = data.inputs[0];
    AudioBusBuffers& out = data.outputs[0];
    const int32 channels = std::min(in.numChannels, out.numChannels);
    const float factor = static_cast<float>(2.0 * gain_);
    for (int32 c = 0; c < channels; ++c) {
        for (int32 i = 0; i < data.numSamples; ++i)
            out.channelBuffers32[c][i] = in.channelBuffers32[c][i] * factor;
    }
    return kResultOk;
}

tresult PLUGIN_API RecordingProcessor::connect(IConnectionPoint* other)
{
    recordCall("Component::connect");
    return PassThroughProcessor::connect(other);
}

tresult PLUGIN_API RecordingProcessor::disconnect(IConnectionPoint* other)
{
    recordCall("Component::disconnect");
    return PassThroughProcessor::disconnect(other);
}

tresult PLUGIN_API RecordingProcessor::notify(IMessage* message)
{
    recordCall("Component::notify " + messageIdOf(message));
    return kResultOk;
}

tresult RecordingProcessor::sendTestMessage(const char* id)
{
    return sendFrom(*this, id);
}

// ---------------------------------------------------------------- controller

RecordingController::RecordingController(bool withParameters, bool failInitialize)
    : withParameters_(withParameters), failInitialize_(failInitialize)
{
}

FUnknown* RecordingController::create(bool withParameters, bool failInitialize)
{
    return static_cast<IEditController*>(new RecordingController(withParameters, failInitialize));
}

tresult PLUGIN_API RecordingController::initialize(FUnknown* context)
{
    recordCall(std::string("Controller::initialize ") + (context ? "context" : "null"));
    if (failInitialize_)
        return kResultFalse;
    tresult result = EditController::initialize(context);
    if (result != kResultOk)
        return result;
    if (withParameters_) {
        parameters.addParameter(STR16("Gain"), nullptr, 0, kDefaultGain, ParameterInfo::kCanAutomate, kGainId);
        parameters.addParameter(STR16("Mix"), STR16("%"), 0, 1.0, ParameterInfo::kCanAutomate, kMixId);
    }
    std::lock_guard<std::mutex> guard(liveMutex);
    liveController = this;
    return kResultOk;
}

tresult PLUGIN_API RecordingController::terminate()
{
    recordCall("Controller::terminate");
    {
        std::lock_guard<std::mutex> guard(liveMutex);
        if (liveController == this)
            liveController = nullptr;
    }
    return EditController::terminate();
}

tresult PLUGIN_API RecordingController::setComponentState(IBStream* state)
{
    recordCall("Controller::setComponentState");
    IBStreamer streamer(state, kLittleEndian);
    double gain = 0;
    if (withParameters_ && state && streamer.readDouble(gain))
        EditController::setParamNormalized(kGainId, gain);
    return kResultOk;
}

tresult PLUGIN_API RecordingController::setState(IBStream* state)
{
    recordCall("Controller::setState");
    return EditController::setState(state);
}

tresult PLUGIN_API RecordingController::getState(IBStream* state)
{
    recordCall("Controller::getState");
    return EditController::getState(state);
}

int32 PLUGIN_API RecordingController::getParameterCount()
{
    recordCall("Controller::getParameterCount");
    return EditController::getParameterCount();
}

tresult PLUGIN_API RecordingController::getParameterInfo(int32 paramIndex, ParameterInfo& info)
{
    recordCall("Controller::getParameterInfo " + std::to_string(paramIndex));
    return EditController::getParameterInfo(paramIndex, info);
}

ParamValue PLUGIN_API RecordingController::getParamNormalized(ParamID tag)
{
    recordCall("Controller::getParamNormalized " + std::to_string(tag));
    return EditController::getParamNormalized(tag);
}

tresult PLUGIN_API RecordingController::setParamNormalized(ParamID tag, ParamValue value)
{
    recordCall("Controller::setParamNormalized " + std::to_string(tag) + " " + std::to_string(value));
    return EditController::setParamNormalized(tag, value);
}

tresult PLUGIN_API RecordingController::getParamStringByValue(ParamID tag, ParamValue value, String128 string)
{
    recordCall("Controller::getParamStringByValue");
    return EditController::getParamStringByValue(tag, value, string);
}

tresult PLUGIN_API RecordingController::getParamValueByString(ParamID tag, TChar* string, ParamValue& value)
{
    recordCall("Controller::getParamValueByString");
    return EditController::getParamValueByString(tag, string, value);
}

tresult PLUGIN_API RecordingController::setComponentHandler(IComponentHandler* handler)
{
    recordCall(std::string("Controller::setComponentHandler ") + (handler ? "handler" : "null"));
    return EditController::setComponentHandler(handler);
}

IPlugView* PLUGIN_API RecordingController::createView(FIDString name)
{
    recordCall(std::string("Controller::createView ") + (name ? name : ""));
    return nullptr;
}

tresult PLUGIN_API RecordingController::connect(IConnectionPoint* other)
{
    recordCall("Controller::connect");
    return EditController::connect(other);
}

tresult PLUGIN_API RecordingController::disconnect(IConnectionPoint* other)
{
    recordCall("Controller::disconnect");
    return EditController::disconnect(other);
}

tresult PLUGIN_API RecordingController::notify(IMessage* message)
{
    recordCall("Controller::notify " + messageIdOf(message));
    return kResultOk;
}

bool RecordingController::editOnHandler(ParamID id, double value, int* results)
{
    if (!componentHandler)
        return false;
    results[0] = componentHandler->beginEdit(id);
    results[1] = componentHandler->performEdit(id, value);
    results[2] = componentHandler->endEdit(id);
    return true;
}

int RecordingController::restartOnHandler(int32 flags)
{
    return componentHandler ? componentHandler->restartComponent(flags) : -1;
}

tresult RecordingController::sendTestMessage(const char* id)
{
    return sendFrom(*this, id);
}

// ------------------------------------------------------ self-controlled

SelfControlledComponent::SelfControlledComponent() : RecordingProcessor(ProcessorOptions{})
{
}

FUnknown* SelfControlledComponent::create()
{
    return static_cast<IAudioProcessor*>(new SelfControlledComponent);
}

tresult PLUGIN_API SelfControlledComponent::initialize(FUnknown* context)
{
    return RecordingProcessor::initialize(context);
}

tresult PLUGIN_API SelfControlledComponent::terminate()
{
    return RecordingProcessor::terminate();
}

tresult PLUGIN_API SelfControlledComponent::setState(IBStream* state)
{
    return RecordingProcessor::setState(state);
}

tresult PLUGIN_API SelfControlledComponent::getState(IBStream* state)
{
    return RecordingProcessor::getState(state);
}

tresult PLUGIN_API SelfControlledComponent::setComponentState(IBStream*)
{
    recordCall("Controller::setComponentState");
    return kResultOk;
}

int32 PLUGIN_API SelfControlledComponent::getParameterCount()
{
    recordCall("Controller::getParameterCount");
    return 0;
}

tresult PLUGIN_API SelfControlledComponent::getParameterInfo(int32 paramIndex, ParameterInfo&)
{
    recordCall("Controller::getParameterInfo " + std::to_string(paramIndex));
    return kInvalidArgument;
}

tresult PLUGIN_API SelfControlledComponent::getParamStringByValue(ParamID, ParamValue, String128)
{
    return kResultFalse;
}

tresult PLUGIN_API SelfControlledComponent::getParamValueByString(ParamID, TChar*, ParamValue&)
{
    return kResultFalse;
}

ParamValue PLUGIN_API SelfControlledComponent::normalizedParamToPlain(ParamID, ParamValue value)
{
    return value;
}

ParamValue PLUGIN_API SelfControlledComponent::plainParamToNormalized(ParamID, ParamValue value)
{
    return value;
}

ParamValue PLUGIN_API SelfControlledComponent::getParamNormalized(ParamID)
{
    return 0;
}

tresult PLUGIN_API SelfControlledComponent::setParamNormalized(ParamID, ParamValue)
{
    return kResultFalse;
}

tresult PLUGIN_API SelfControlledComponent::setComponentHandler(IComponentHandler* handler)
{
    recordCall(std::string("Controller::setComponentHandler ") + (handler ? "handler" : "null"));
    return kResultOk;
}

IPlugView* PLUGIN_API SelfControlledComponent::createView(FIDString)
{
    return nullptr;
}

// ---------------------------------------------------------------- exports

bool editFromLiveController(ParamID id, double value, int* results)
{
    std::lock_guard<std::mutex> guard(liveMutex);
    return liveController && liveController->editOnHandler(id, value, results);
}

int restartFromLiveController(int32 flags)
{
    std::lock_guard<std::mutex> guard(liveMutex);
    return liveController ? liveController->restartOnHandler(flags) : -1;
}

int sendFromLive(bool fromComponent, const char* id)
{
    std::lock_guard<std::mutex> guard(liveMutex);
    if (fromComponent)
        return liveProcessor ? liveProcessor->sendTestMessage(id) : -1;
    return liveController ? liveController->sendTestMessage(id) : -1;
}

} // namespace talven::testplugin
