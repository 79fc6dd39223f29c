#include "RestartPlugin.h"
#include "RestartState.h"

#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vstcomponent.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace talven::testplugin::restart {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

SpeakerArrangement arrangementFor(int32 channels)
{
    return channels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
}

// Marks a call that changes the processor's state, and counts it as a host
// mistake when a process call runs meanwhile (or the other way round).
class StateCall {
public:
    StateCall(std::atomic<int32_t>& inState, const std::atomic<int32_t>& inProcess) : inState_(inState)
    {
        ++inState_;
        if (inProcess.load() != 0)
            ++counters().violations;
    }
    ~StateCall() { --inState_; }
    StateCall(const StateCall&) = delete;
    StateCall& operator=(const StateCall&) = delete;

private:
    std::atomic<int32_t>& inState_;
};

// Stereo in, stereo or mono out: a gain whose output bus changes shape while
// inactive, whose latency changes with each activation, and which asks its
// host for restarts when a test says so (RestartState).
class RestartProcessor : public Component, public IAudioProcessor {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = Component::initialize(context);
        if (result != kResultOk)
            return result;
        addBus(audioInputs, STR16("Input"));
        addBus(audioOutputs, STR16("Output"));
        counters().outputChannels = 2;
        counters().latency = 0;
        return kResultOk;
    }

    tresult PLUGIN_API terminate() override
    {
        ++counters().terminations;
        counters().terminationThread = threadTag();
        return Component::terminate();
    }

    tresult PLUGIN_API setActive(TBool state) override
    {
        const StateCall call(inStateCall_, inProcess_);
        if (state) {
            latency_ = nextLatency().load();
            counters().latency = latency_.load();
            activeOutputs_ = outputChannels();
            active_ = true;
            ++counters().activations;
            counters().activationThread = threadTag();
            makeQueuedRequest(TALVEN_RESTART_IN_ACTIVATION);
        } else {
            active_ = false;
            ++counters().deactivations;
            if (takeIoRequest())
                reshapeOutput(nextOutputChannels().load());
        }
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
        return size == kSample32 ? kResultTrue : kResultFalse;
    }
    uint32 PLUGIN_API getLatencySamples() override { return static_cast<uint32>(latency_.load()); }
    uint32 PLUGIN_API getTailSamples() override { return 0; }

    tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override
    {
        const StateCall call(inStateCall_, inProcess_);
        ++counters().setups;
        if (active_)
            ++counters().violations; // only legal while inactive
        if (setup.symbolicSampleSize != kSample32)
            return kResultFalse;
        maxSamples_ = setup.maxSamplesPerBlock;
        return kResultOk;
    }

    tresult PLUGIN_API setProcessing(TBool state) override
    {
        const StateCall call(inStateCall_, inProcess_);
        if (state && !active_)
            ++counters().violations; // only legal on an active component
        processing_ = state != 0;
        ++(state ? counters().processingOn : counters().processingOff);
        return kResultOk;
    }

    tresult PLUGIN_API process(ProcessData& data) override
    {
        ++inProcess_;
        if (inStateCall_.load() != 0)
            ++counters().violations;
        processBlock(data);
        --inProcess_;
        return kResultOk;
    }

    OBJ_METHODS(RestartProcessor, Component)
    DEFINE_INTERFACES
        DEF_INTERFACE(IAudioProcessor)
    END_DEFINE_INTERFACES(Component)
    REFCOUNT_METHODS(Component)

private:
    static void addBus(BusList& list, const TChar* name)
    {
        list.push_back(IPtr<Bus>(new AudioBus(name, kMain, BusInfo::kDefaultActive, SpeakerArr::kStereo), false));
    }

    int32 outputChannels()
    {
        return SpeakerArr::getChannelCount(static_cast<AudioBus*>(audioOutputs.at(0).get())->getArrangement());
    }

    void reshapeOutput(int32 channels)
    {
        static_cast<AudioBus*>(audioOutputs.at(0).get())->setArrangement(arrangementFor(channels));
        counters().outputChannels = channels;
    }

    bool obeysHostRules(const ProcessData& data) const
    {
        if (!active_ || !processing_ || data.numSamples > maxSamples_ || data.symbolicSampleSize != kSample32)
            return false;
        if (data.numInputs != 1 || data.numOutputs != 1 || !data.inputs || !data.outputs)
            return false;
        const AudioBusBuffers& in = data.inputs[0];
        const AudioBusBuffers& out = data.outputs[0];
        if (in.numChannels != 2 || out.numChannels != activeOutputs_ || !in.channelBuffers32 || !out.channelBuffers32)
            return false;
        for (int32 c = 0; c < in.numChannels; ++c)
            if (!in.channelBuffers32[c])
                return false;
        for (int32 c = 0; c < out.numChannels; ++c)
            if (!out.channelBuffers32[c])
                return false;
        return true;
    }

    void processBlock(ProcessData& data)
    {
        applyParameterChanges(data.inputParameterChanges);
        makeQueuedRequest(TALVEN_RESTART_IN_PROCESS);
        if (data.numSamples <= 0)
            return; // the host's parameter flush
        ++counters().processCalls;
        counters().processedFrames += data.numSamples;
        recordContext(contextOf(data));
        if (!obeysHostRules(data)) {
            ++counters().violations;
            return;
        }
        const float factor = static_cast<float>(2.0 * gain_);
        float peak = 0;
        for (int32 c = 0; c < 2; ++c) {
            const Sample32* source = data.inputs[0].channelBuffers32[c];
            for (int32 i = 0; i < data.numSamples; ++i)
                peak = std::max(peak, std::fabs(source[i]));
        }
        for (int32 c = 0; c < data.outputs[0].numChannels; ++c) {
            const Sample32* source = data.inputs[0].channelBuffers32[c];
            Sample32* target = data.outputs[0].channelBuffers32[c];
            for (int32 i = 0; i < data.numSamples; ++i)
                target[i] = source[i] * factor;
        }
        reportPeak(data, std::min(peak, 1.0f));
    }

    static TalvenRestartContext contextOf(const ProcessData& data)
    {
        TalvenRestartContext recorded{};
        recorded.numSamples = data.numSamples;
        recorded.state = -1;
        if (const ProcessContext* context = data.processContext) {
            recorded.state = static_cast<int32_t>(context->state);
            recorded.sampleRate = context->sampleRate;
            recorded.projectTimeSamples = context->projectTimeSamples;
            recorded.continuousTimeSamples = context->continousTimeSamples;
            recorded.projectTimeMusic = context->projectTimeMusic;
            recorded.barPositionMusic = context->barPositionMusic;
            recorded.tempo = context->tempo;
            recorded.numerator = context->timeSigNumerator;
            recorded.denominator = context->timeSigDenominator;
        }
        return recorded;
    }

    void applyParameterChanges(IParameterChanges* changes)
    {
        const int32 count = changes ? changes->getParameterCount() : 0;
        for (int32 i = 0; i < count; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            int32 offset = 0;
            ParamValue value = 0;
            if (queue && queue->getParameterId() == kGainId && queue->getPointCount() > 0 &&
                queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
                gain_ = value;
        }
    }

    static void reportPeak(ProcessData& data, float peak)
    {
        if (!data.outputParameterChanges)
            return;
        int32 index = 0;
        if (IParamValueQueue* queue = data.outputParameterChanges->addParameterData(kPeakId, index))
            queue->addPoint(data.numSamples - 1, peak, index);
        if (!levelListed())
            return;
        if (IParamValueQueue* queue = data.outputParameterChanges->addParameterData(kLevelId, index))
            queue->addPoint(data.numSamples - 1, peak / 2, index);
    }

    // Read by the audio thread, written by the host's other threads: atomic,
    // so that a host mistake shows as a counted violation, not a crash.
    std::atomic<bool> active_{false};
    std::atomic<bool> processing_{false};
    std::atomic<int32> maxSamples_{0};
    std::atomic<int32> activeOutputs_{2};
    std::atomic<int32_t> latency_{0};
    std::atomic<int32_t> inStateCall_{0};
    std::atomic<int32_t> inProcess_{0};
    double gain_ = kDefaultGain; // audio thread only
};

} // namespace

FUnknown* createProcessor(const FUID& controllerUid)
{
    auto* processor = new RestartProcessor;
    processor->setControllerClass(controllerUid);
    return static_cast<IAudioProcessor*>(processor);
}

} // namespace talven::testplugin::restart
