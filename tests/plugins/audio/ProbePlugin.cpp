#include "ProbePlugin.h"

#include "ProbeState.h"

#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vstcomponent.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace talven::testplugin {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

ProbeShape moduleShape;
FUID processorUid;
FUID controllerUid;

void raiseTo(std::atomic<int32_t>& value, int32_t candidate)
{
    int32_t current = value.load();
    while (candidate > current && !value.compare_exchange_weak(current, candidate)) {
    }
}

bool takeFailure()
{
    std::atomic<int32_t>& failNext = probeRecord().failNext;
    int32_t pending = failNext.load();
    while (pending > 0 && !failNext.compare_exchange_weak(pending, pending - 1)) {
    }
    return pending > 0;
}

SpeakerArrangement arrangementFor(int32 channels)
{
    return channels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
}

template <typename Sample>
Sample** channelsOf(const AudioBusBuffers& bus)
{
    if constexpr (sizeof(Sample) == sizeof(Sample64))
        return bus.channelBuffers64;
    else
        return bus.channelBuffers32;
}

template <typename Sample>
bool silent(const AudioBusBuffers& bus, int32 samples)
{
    Sample** channels = channelsOf<Sample>(bus);
    for (int32 c = 0; c < bus.numChannels; ++c) {
        if (channels && channels[c] && std::any_of(channels[c], channels[c] + samples, [](Sample s) { return s != 0; }))
            return false;
    }
    return true;
}

class ProbeProcessor : public Component, public IAudioProcessor {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        tresult result = Component::initialize(context);
        if (result != kResultOk)
            return result;
        if (moduleShape.inputChannels > 0)
            addBus(audioInputs, STR16("Input"), arrangementFor(moduleShape.inputChannels), kMain);
        if (moduleShape.auxBuses)
            addBus(audioInputs, STR16("Side-chain"), arrangementFor(moduleShape.auxInputChannels), kAux);
        if (moduleShape.outputChannels > 0)
            addBus(audioOutputs, STR16("Output"), arrangementFor(moduleShape.outputChannels), kMain);
        if (moduleShape.auxBuses)
            addBus(audioOutputs, STR16("Second output"), SpeakerArr::kStereo, kAux);
        return kResultOk;
    }

    tresult PLUGIN_API terminate() override
    {
        noteStateChange();
        ++probeRecord().terminations;
        probeRecord().lastTerminateThread = probeThreadTag();
        if (active_)
            ++probeRecord().violations;
        return Component::terminate();
    }

    tresult PLUGIN_API setActive(TBool state) override
    {
        noteStateChange();
        active_ = state != 0;
        ++(state ? probeRecord().activations : probeRecord().deactivations);
        probeRecord().active = active_ ? 1 : 0;
        return kResultOk;
    }

    // ---- IAudioProcessor
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement*, int32, SpeakerArrangement*, int32) override
    {
        return kResultFalse;
    }
    tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) override
    {
        BusList* list = getBusList(kAudio, dir);
        if (!list || index < 0 || index >= static_cast<int32>(list->size()))
            return kInvalidArgument;
        arr = static_cast<AudioBus*>(list->at(static_cast<size_t>(index)).get())->getArrangement();
        return kResultTrue;
    }
    tresult PLUGIN_API canProcessSampleSize(int32 size) override
    {
        return size == (moduleShape.only64 ? kSample64 : kSample32) ? kResultTrue : kResultFalse;
    }
    uint32 PLUGIN_API getLatencySamples() override { return 0; }
    uint32 PLUGIN_API getTailSamples() override { return 0; }

    tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override
    {
        probeRecord().setupMaxSamples = setup.maxSamplesPerBlock;
        probeRecord().setupSampleSize = setup.symbolicSampleSize;
        probeRecord().setupSampleRate = static_cast<int32_t>(setup.sampleRate);
        if (active_)
            ++probeRecord().violations; // only legal while inactive
        // As the SDK's AudioEffect does: a size the processor cannot take
        // fails the whole set-up.
        if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
            return kResultFalse;
        setup_ = setup;
        return kResultOk;
    }

    tresult PLUGIN_API setProcessing(TBool state) override
    {
        noteStateChange();
        if (state && !active_)
            ++probeRecord().violations; // only legal on an active component
        processing_ = state != 0;
        ++(state ? probeRecord().processingOn : probeRecord().processingOff);
        probeRecord().processing = processing_ ? 1 : 0;
        return kResultOk;
    }

    tresult PLUGIN_API process(ProcessData& data) override
    {
        ++callsInProgress_;
        const tresult result = processBlock(data);
        --callsInProgress_;
        return result;
    }

    OBJ_METHODS(ProbeProcessor, Component)
    DEFINE_INTERFACES
        DEF_INTERFACE(IAudioProcessor)
    END_DEFINE_INTERFACES(Component)
    REFCOUNT_METHODS(Component)

private:
    tresult processBlock(ProcessData& data)
    {
        ++probeRecord().processCalls;
        probeRecord().lastProcessThread = probeThreadTag();
        probeRecord().lastNumSamples = data.numSamples;
        probeRecord().lastSampleSize = data.symbolicSampleSize;
        probeRecord().totalSamples += data.numSamples;
        raiseTo(probeRecord().maxNumSamples, data.numSamples);
        if (!obeysHostRules(data))
            ++probeRecord().violations;
        applyParameterChanges(data.inputParameterChanges);
        while (probeRecord().holdCalls.load() != 0) {
            probeRecord().callHeld = 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        probeRecord().callHeld = 0;
        if (takeFailure()) {
            ++probeRecord().failedCalls;
            return kResultFalse;
        }
        if (data.numSamples <= 0 || !obeysHostRules(data))
            return kResultOk;
        if (data.symbolicSampleSize == kSample64)
            render<Sample64>(data);
        else
            render<Sample32>(data);
        return kResultOk;
    }

    static void addBus(BusList& list, const TChar* name, SpeakerArrangement arrangement, BusType type)
    {
        list.push_back(IPtr<Bus>(new AudioBus(name, type, BusInfo::kDefaultActive, arrangement), false));
    }

    bool busesAsDeclared(const AudioBusBuffers* buses, int32 count, BusDirection dir) const
    {
        BusList* list = const_cast<ProbeProcessor*>(this)->getBusList(kAudio, dir);
        const int32 declared = list ? static_cast<int32>(list->size()) : 0;
        if (count != declared || (count > 0 && !buses))
            return false;
        for (int32 b = 0; b < count; ++b) {
            auto* bus = static_cast<AudioBus*>(list->at(static_cast<size_t>(b)).get());
            if (buses[b].numChannels != SpeakerArr::getChannelCount(bus->getArrangement()) || !buses[b].channelBuffers32)
                return false;
            for (int32 c = 0; c < buses[b].numChannels; ++c) {
                if (!buses[b].channelBuffers32[c])
                    return false;
            }
        }
        return true;
    }

    bool obeysHostRules(const ProcessData& data) const
    {
        return active_ && processing_ && data.numSamples <= setup_.maxSamplesPerBlock &&
               data.symbolicSampleSize == setup_.symbolicSampleSize &&
               busesAsDeclared(data.inputs, data.numInputs, kInput) &&
               busesAsDeclared(data.outputs, data.numOutputs, kOutput);
    }

    void applyParameterChanges(IParameterChanges* changes)
    {
        const int32 count = changes ? changes->getParameterCount() : 0;
        for (int32 i = 0; i < count; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            int32 offset = 0;
            ParamValue value = 0;
            if (queue && queue->getParameterId() == kProbeGainId && queue->getPointCount() > 0 &&
                queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
                gain_ = value;
        }
    }

    template <typename Sample>
    void render(ProcessData& data)
    {
        if (moduleShape.auxBuses) {
            if (!silent<Sample>(data.inputs[1], data.numSamples))
                ++probeRecord().auxInputNotSilent;
            if (!silent<Sample>(data.outputs[1], data.numSamples))
                ++probeRecord().auxOutputNotSilent;
        }
        if (data.numOutputs == 0)
            return;
        if (moduleShape.auxListen) {
            listen<Sample>(data.inputs[1], data.outputs[0], data.numSamples);
            return;
        }
        const AudioBusBuffers& out = data.outputs[0];
        const AudioBusBuffers* in = data.numInputs > 0 ? &data.inputs[0] : nullptr;
        const auto factor = static_cast<Sample>(2.0 * gain_);
        for (int32 c = 0; c < out.numChannels; ++c) {
            if (moduleShape.leftOnly && c > 0)
                break;
            Sample* target = channelsOf<Sample>(out)[c];
            const Sample* source =
                in && in->numChannels > 0 ? channelsOf<Sample>(*in)[std::min(c, in->numChannels - 1)] : nullptr;
            for (int32 i = 0; i < data.numSamples; ++i)
                target[i] = source ? source[i] * factor : Sample(0);
        }
    }

    template <typename Sample>
    static void listen(const AudioBusBuffers& aux, AudioBusBuffers& out, int32 frames)
    {
        for (int32 c = 0; c < out.numChannels; ++c) {
            Sample* target = channelsOf<Sample>(out)[c];
            for (int32 i = 0; i < frames; ++i)
                target[i] = c < aux.numChannels ? channelsOf<Sample>(aux)[c][i] : Sample(0);
        }
    }

    // A state switch or the plug-in's end while a process call runs breaks
    // the host's threading contract.
    void noteStateChange()
    {
        if (callsInProgress_.load() != 0)
            ++probeRecord().violations;
    }

    std::atomic<int32_t> callsInProgress_{0};
    bool active_ = false;
    bool processing_ = false;
    ProcessSetup setup_{};
    double gain_ = kProbeDefaultGain;
};

class ProbeController : public EditController {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        tresult result = EditController::initialize(context);
        if (result == kResultOk)
            parameters.addParameter(STR16("Gain"), nullptr, 0, kProbeDefaultGain, ParameterInfo::kCanAutomate,
                                    kProbeGainId);
        return result;
    }
};

FUnknown* createProcessor()
{
    auto* processor = new ProbeProcessor;
    processor->setControllerClass(controllerUid);
    return static_cast<IAudioProcessor*>(processor);
}

FUnknown* createController()
{
    return static_cast<IEditController*>(new ProbeController);
}

} // namespace

const TestFactoryDescription& probeDescription(const ProbeShape& shape, uint32 uidTag, const char* name)
{
    moduleShape = shape;
    processorUid = FUID(0x7A1E0005, 0x5E7A4C11, uidTag, 0x0000A001);
    controllerUid = FUID(0x7A1E0005, 0x5E7A4C11, uidTag, 0x0000C001);
    static const TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, name, ComponentFlags::kDistributable, "Fx", createProcessor},
        {controllerUid, kVstComponentControllerClass, "Talven Probe Controller", 0, "", createController},
    };
    static const TestFactoryDescription description{"Talven Tests", "https://talven.invalid",
                                                    "tests@talven.invalid", classes, 2, 3};
    return description;
}

void readProbeStats(TalvenProbeStats& out)
{
    out.processCalls = probeRecord().processCalls;
    out.failedCalls = probeRecord().failedCalls;
    out.totalSamples = probeRecord().totalSamples;
    out.maxNumSamples = probeRecord().maxNumSamples;
    out.lastNumSamples = probeRecord().lastNumSamples;
    out.lastSampleSize = probeRecord().lastSampleSize;
    out.setupMaxSamples = probeRecord().setupMaxSamples;
    out.setupSampleSize = probeRecord().setupSampleSize;
    out.setupSampleRate = probeRecord().setupSampleRate;
    out.activations = probeRecord().activations;
    out.deactivations = probeRecord().deactivations;
    out.processingOn = probeRecord().processingOn;
    out.processingOff = probeRecord().processingOff;
    out.terminations = probeRecord().terminations;
    out.active = probeRecord().active;
    out.processing = probeRecord().processing;
    out.violations = probeRecord().violations;
    out.auxInputNotSilent = probeRecord().auxInputNotSilent;
    out.auxOutputNotSilent = probeRecord().auxOutputNotSilent;
    out.lastProcessThread = probeRecord().lastProcessThread;
    out.lastTerminateThread = probeRecord().lastTerminateThread;
}

void resetProbeStats()
{
    probeRecord().processCalls = 0;
    probeRecord().failedCalls = 0;
    probeRecord().totalSamples = 0;
    probeRecord().maxNumSamples = 0;
    probeRecord().lastNumSamples = 0;
    probeRecord().lastSampleSize = 0;
    probeRecord().setupMaxSamples = 0;
    probeRecord().setupSampleSize = -1;
    probeRecord().setupSampleRate = 0;
    probeRecord().activations = 0;
    probeRecord().deactivations = 0;
    probeRecord().processingOn = 0;
    probeRecord().processingOff = 0;
    probeRecord().terminations = 0;
    probeRecord().violations = 0;
    probeRecord().auxInputNotSilent = 0;
    probeRecord().auxOutputNotSilent = 0;
    probeRecord().lastProcessThread = 0;
    probeRecord().lastTerminateThread = 0;
    probeRecord().failNext = 0;
    probeRecord().holdCalls = 0;
}

void failNextProcessCalls(int32_t count)
{
    probeRecord().failNext = count;
}

void holdProcessCalls(bool on)
{
    probeRecord().holdCalls = on ? 1 : 0;
}

bool processCallHeld()
{
    return probeRecord().callHeld.load() != 0;
}

int64_t probeThreadTag()
{
    thread_local const int64_t tag = probeRecord().nextThreadTag++;
    return tag;
}

} // namespace talven::testplugin
