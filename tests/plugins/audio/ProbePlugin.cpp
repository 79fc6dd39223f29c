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

// Every counter of ProbeExports.h, as atomics: the audio thread writes them
// while tests read.
struct Counters {
    std::atomic<int64_t> processCalls{0}, failedCalls{0}, totalSamples{0};
    std::atomic<int32_t> maxNumSamples{0}, lastNumSamples{0}, lastSampleSize{0};
    std::atomic<int32_t> setupMaxSamples{0}, setupSampleSize{-1}, setupSampleRate{0};
    std::atomic<int32_t> activations{0}, deactivations{0}, processingOn{0}, processingOff{0}, terminations{0};
    std::atomic<int32_t> active{0}, processing{0}, violations{0};
    std::atomic<int32_t> auxInputNotSilent{0}, auxOutputNotSilent{0};
    std::atomic<int64_t> lastProcessThread{0};
    std::atomic<int64_t> lastTerminateThread{0};
};

Counters counters;
std::atomic<int32_t> failNext{0};
std::atomic<bool> holdCalls{false};
std::atomic<bool> callHeld{false};
std::atomic<int64_t> nextThreadTag{1};


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
        ++counters.terminations;
        counters.lastTerminateThread = probeThreadTag();
        if (active_)
            ++counters.violations;
        return Component::terminate();
    }

    tresult PLUGIN_API setActive(TBool state) override
    {
        noteStateChange();
        active_ = state != 0;
        ++(state ? counters.activations : counters.deactivations);
        counters.active = active_ ? 1 : 0;
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
        counters.setupMaxSamples = setup.maxSamplesPerBlock;
        counters.setupSampleSize = setup.symbolicSampleSize;
        counters.setupSampleRate = static_cast<int32_t>(setup.sampleRate);
        if (active_)
            ++counters.violations; // only legal while inactive
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
            ++counters.violations; // only legal on an active component
        processing_ = state != 0;
        ++(state ? counters.processingOn : counters.processingOff);
        counters.processing = processing_ ? 1 : 0;
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
        ++counters.processCalls;
        counters.lastProcessThread = probeThreadTag();
        counters.lastNumSamples = data.numSamples;
        counters.lastSampleSize = data.symbolicSampleSize;
        counters.totalSamples += data.numSamples;
        raiseTo(counters.maxNumSamples, data.numSamples);
        if (!obeysHostRules(data))
            ++counters.violations;
        applyParameterChanges(data.inputParameterChanges);
        while (holdCalls) {
            callHeld = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        callHeld = false;
        if (takeFailure()) {
            ++counters.failedCalls;
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
                ++counters.auxInputNotSilent;
            if (!silent<Sample>(data.outputs[1], data.numSamples))
                ++counters.auxOutputNotSilent;
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
            ++counters.violations;
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
    out.processCalls = counters.processCalls;
    out.failedCalls = counters.failedCalls;
    out.totalSamples = counters.totalSamples;
    out.maxNumSamples = counters.maxNumSamples;
    out.lastNumSamples = counters.lastNumSamples;
    out.lastSampleSize = counters.lastSampleSize;
    out.setupMaxSamples = counters.setupMaxSamples;
    out.setupSampleSize = counters.setupSampleSize;
    out.setupSampleRate = counters.setupSampleRate;
    out.activations = counters.activations;
    out.deactivations = counters.deactivations;
    out.processingOn = counters.processingOn;
    out.processingOff = counters.processingOff;
    out.terminations = counters.terminations;
    out.active = counters.active;
    out.processing = counters.processing;
    out.violations = counters.violations;
    out.auxInputNotSilent = counters.auxInputNotSilent;
    out.auxOutputNotSilent = counters.auxOutputNotSilent;
    out.lastProcessThread = counters.lastProcessThread;
    out.lastTerminateThread = counters.lastTerminateThread;
}

void resetProbeStats()
{
    counters.processCalls = 0;
    counters.failedCalls = 0;
    counters.totalSamples = 0;
    counters.maxNumSamples = 0;
    counters.lastNumSamples = 0;
    counters.lastSampleSize = 0;
    counters.setupMaxSamples = 0;
    counters.setupSampleSize = -1;
    counters.setupSampleRate = 0;
    counters.activations = 0;
    counters.deactivations = 0;
    counters.processingOn = 0;
    counters.processingOff = 0;
    counters.terminations = 0;
    counters.violations = 0;
    counters.auxInputNotSilent = 0;
    counters.auxOutputNotSilent = 0;
    counters.lastProcessThread = 0;
    counters.lastTerminateThread = 0;
    failNext = 0;
    holdCalls = false;
}

void failNextProcessCalls(int32_t count)
{
    failNext = count;
}

void holdProcessCalls(bool on)
{
    holdCalls = on;
}

bool processCallHeld()
{
    return callHeld;
}

int64_t probeThreadTag()
{
    thread_local const int64_t tag = nextThreadTag++;
    return tag;
}

} // namespace talven::testplugin
