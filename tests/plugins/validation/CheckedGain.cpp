#include "CheckedGain.h"

#include "base/source/fstreamer.h"
#include "public.sdk/source/common/pluginview.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vstcomponent.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace talven::testplugin {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

GainFlaw moduleFlaw = GainFlaw::None;
FUID processorUid;
FUID controllerUid;

constexpr int32 kModeSteps = 3;

bool latencyReported()
{
    return moduleFlaw == GainFlaw::LatencyPlaysDry || moduleFlaw == GainFlaw::DelaysByLatency;
}

// Frames the processed signal comes out late by.
int32 delayFrames()
{
    return moduleFlaw == GainFlaw::DelaysByLatency ? static_cast<int32>(kCheckedLatency) : 0;
}

bool playsDry()
{
    return moduleFlaw == GainFlaw::IgnoresParameters || moduleFlaw == GainFlaw::LatencyPlaysDry;
}

class CheckedGainProcessor : public Component, public IAudioProcessor {
public:
    CheckedGainProcessor() { setControllerClass(controllerUid); }

    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = Component::initialize(context);
        if (result != kResultOk)
            return result;
        audioInputs.push_back(IPtr<Bus>(new AudioBus(STR16("Input"), kMain, BusInfo::kDefaultActive,
                                                     SpeakerArr::kStereo), false));
        audioOutputs.push_back(IPtr<Bus>(new AudioBus(STR16("Output"), kMain, BusInfo::kDefaultActive,
                                                      SpeakerArr::kStereo), false));
        return kResultOk;
    }

    // ---- IAudioProcessor
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                          int32 numOuts) override
    {
        const bool stereo = numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == SpeakerArr::kStereo &&
                            outputs[0] == SpeakerArr::kStereo;
        return stereo ? kResultTrue : kResultFalse;
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
    uint32 PLUGIN_API getLatencySamples() override { return latencyReported() ? kCheckedLatency : 0; }
    uint32 PLUGIN_API getTailSamples() override { return 0; }
    tresult PLUGIN_API setProcessing(TBool) override { return kResultOk; }

    tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override
    {
        maxBlock_ = setup.maxSamplesPerBlock;
        // Per channel: the delayed frames of the block before, then the block.
        stride_ = std::max(maxBlock_, int32(0)) + delayFrames();
        scratch_.assign(2 * static_cast<size_t>(stride_), 0.0f);
        return canProcessSampleSize(setup.symbolicSampleSize) == kResultTrue ? kResultOk : kResultFalse;
    }

    tresult PLUGIN_API setActive(TBool state) override
    {
        if (fault_.load() == CheckedFault::HangInSetActive)
            hang();
        return Component::setActive(state);
    }

    tresult PLUGIN_API process(ProcessData& data) override
    {
        readChanges(data.inputParameterChanges);
        failAsCommanded();
        if (moduleFlaw == GainFlaw::AbortOn4095Frames && data.numSamples == 4095)
            std::abort();
        if (data.numSamples <= 0 || data.numInputs < 1 || data.numOutputs < 1)
            return kResultOk;
        if (moduleFlaw == GainFlaw::ProcessAlwaysFails)
            return kResultFalse;
        render(data.inputs[0], data.outputs[0], data.numSamples);
        current_ = target_.load();
        return kResultOk;
    }

    OBJ_METHODS(CheckedGainProcessor, Component)
    DEFINE_INTERFACES
        DEF_INTERFACE(IAudioProcessor)
    END_DEFINE_INTERFACES(Component)
    REFCOUNT_METHODS(Component)

    // ---- IComponent
    tresult PLUGIN_API getState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        return streamer.writeDouble(target_.load()) && streamer.writeInt32(mode_.load()) ? kResultOk : kResultFalse;
    }

    tresult PLUGIN_API setState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        double gain = 0;
        int32 mode = 0;
        if (!streamer.readDouble(gain) || !streamer.readInt32(mode))
            return kResultFalse;
        if (moduleFlaw != GainFlaw::StateForgetsGain) {
            target_ = gain;
            jump_ = true; // a recalled gain applies at once, without a ramp
        }
        mode_ = std::clamp(mode, int32(0), kModeSteps);
        return kResultOk;
    }

private:
    [[noreturn]] static void hang()
    {
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }

    void failAsCommanded()
    {
        switch (fault_.load()) {
        case CheckedFault::Crash: {
            volatile int* nowhere = nullptr;
            *nowhere = 1;
            break;
        }
        case CheckedFault::Abort:
            std::abort();
        case CheckedFault::HangInProcess:
            hang();
        case CheckedFault::Exit:
            std::_Exit(7);
        default:
            break;
        }
    }

    void readChanges(IParameterChanges* changes)
    {
        const int32 count = changes ? changes->getParameterCount() : 0;
        for (int32 i = 0; i < count; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            int32 offset = 0;
            ParamValue value = 0;
            if (!queue || queue->getPointCount() <= 0 ||
                queue->getPoint(queue->getPointCount() - 1, offset, value) != kResultOk)
                continue;
            if (queue->getParameterId() == kCheckedGainId)
                target_ = value;
            else if (queue->getParameterId() == kCheckedModeId)
                mode_ = static_cast<int32>(std::lround(value * kModeSteps));
            else if (queue->getParameterId() == kCheckedFaultId && moduleFlaw == GainFlaw::FaultsOnCommand)
                fault_ = static_cast<CheckedFault>(std::lround(value * kCheckedFaultSteps));
        }
    }

    void render(const AudioBusBuffers& in, AudioBusBuffers& out, int32 frames)
    {
        const int32 channels = std::min(in.numChannels, out.numChannels);
        // A plug-in sized for the announced maximum would overrun its
        // buffers here; this one shows the host's fault as NaN instead.
        if (frames > maxBlock_) {
            for (int32 c = 0; c < out.numChannels; ++c)
                std::fill_n(out.channelBuffers32[c], frames, std::numeric_limits<float>::quiet_NaN());
            return;
        }
        if (playsDry()) {
            for (int32 c = 0; c < channels; ++c) {
                if (out.channelBuffers32[c] != in.channelBuffers32[c])
                    std::copy_n(in.channelBuffers32[c], frames, out.channelBuffers32[c]);
            }
            return;
        }
        if (jump_.exchange(false))
            current_ = target_.load();
        const double target = target_;
        const double step =
            moduleFlaw == GainFlaw::NanOnSingleFrames || frames > 1 ? (target - current_) / (frames - 1) : 0.0;
        const int32 mode = mode_;
        const bool swap = channels == 2 && (mode & 1) != 0;
        const float sign = (mode & 2) != 0 ? -1.0f : 1.0f;
        // Inputs first, after the delayed frames: in and out may share buffers.
        const int32 delay = delayFrames();
        for (int32 c = 0; c < channels; ++c)
            std::copy_n(in.channelBuffers32[c], frames, scratch_.begin() + c * stride_ + delay);
        for (int32 c = 0; c < channels; ++c) {
            const float* source = scratch_.data() + (swap ? 1 - c : c) * stride_;
            float* target = out.channelBuffers32[c];
            for (int32 i = 0; i < frames; ++i) {
                const double gain = 2.0 * (current_ + step * i);
                target[i] = sign * static_cast<float>(gain * source[i]);
            }
        }
        // The last frames wait for the next block.
        for (int32 c = 0; c < channels && delay > 0; ++c) {
            const auto start = scratch_.begin() + c * stride_;
            std::copy(start + frames, start + frames + delay, start);
        }
    }

    std::vector<float> scratch_; // two channels of stride_ samples, sized when processing is set up
    int32 maxBlock_ = 0;
    int32 stride_ = 0;
    // The state functions run on the host's thread while process runs on
    // the audio thread, as VST 3 allows: what both touch is atomic.
    double current_ = kCheckedDefaultGain; // audio thread only
    std::atomic<double> target_{kCheckedDefaultGain};
    std::atomic<int32> mode_{0};
    std::atomic<bool> jump_{false};
    std::atomic<CheckedFault> fault_{CheckedFault::None};
};

// A bare editor view that draws nothing; the view flaws make it refuse
// every window or fail to attach to one.
class CheckedView : public CPluginView {
public:
    CheckedView() : CPluginView(&size()) {}

    tresult PLUGIN_API isPlatformTypeSupported(FIDString type) override
    {
        if (moduleFlaw == GainFlaw::ViewRefusesPlatform || !type)
            return kResultFalse;
        return std::strcmp(type, kPlatformTypeHWND) == 0 || std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0
                   ? kResultTrue
                   : kResultFalse;
    }

    tresult PLUGIN_API attached(void* parent, FIDString type) override
    {
        return moduleFlaw == GainFlaw::ViewAttachFails ? kResultFalse : CPluginView::attached(parent, type);
    }

private:
    static const ViewRect& size()
    {
        static const ViewRect fixed(0, 0, 200, 100);
        return fixed;
    }
};

// Keeps its value in tenths: what the controller says differs from what
// it was told.
class CoarseParameter : public Parameter {
public:
    using Parameter::Parameter;
    bool setNormalized(ParamValue value) override { return Parameter::setNormalized(std::round(value * 10) / 10); }
};

class CheckedGainController : public EditController {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = EditController::initialize(context);
        if (result != kResultOk)
            return result;
        if (moduleFlaw == GainFlaw::CoarseGainReadBack)
            parameters.addParameter(new CoarseParameter(STR16("Gain"), kCheckedGainId, nullptr, kCheckedDefaultGain));
        else
            parameters.addParameter(STR16("Gain"), nullptr, 0, kCheckedDefaultGain, ParameterInfo::kCanAutomate,
                                    kCheckedGainId);
        parameters.addParameter(STR16("Mode"), nullptr, kModeSteps, 0, ParameterInfo::kCanAutomate | ParameterInfo::kIsList,
                                kCheckedModeId);
        parameters.addParameter(STR16("Meter"), nullptr, 0, 0, ParameterInfo::kIsReadOnly, kCheckedMeterId);
        if (moduleFlaw == GainFlaw::FaultsOnCommand)
            parameters.addParameter(STR16("Fault"), nullptr, kCheckedFaultSteps, 0, ParameterInfo::kIsList,
                                    kCheckedFaultId);
        return kResultOk;
    }

    IPlugView* PLUGIN_API createView(FIDString name) override
    {
        const bool offered = moduleFlaw == GainFlaw::ViewRefusesPlatform || moduleFlaw == GainFlaw::ViewAttachFails;
        return offered && name && std::strcmp(name, ViewType::kEditor) == 0 ? new CheckedView : nullptr;
    }

    tresult PLUGIN_API setComponentState(IBStream* state) override
    {
        IBStreamer streamer(state, kLittleEndian);
        double gain = 0;
        int32 mode = 0;
        if (!streamer.readDouble(gain) || !streamer.readInt32(mode))
            return kResultFalse;
        setParamNormalized(kCheckedGainId, gain);
        setParamNormalized(kCheckedModeId, static_cast<double>(mode) / kModeSteps);
        return kResultOk;
    }
};

FUnknown* createProcessor()
{
    return static_cast<IAudioProcessor*>(new CheckedGainProcessor);
}

FUnknown* createController()
{
    return static_cast<IEditController*>(new CheckedGainController);
}

} // namespace

const TestFactoryDescription& checkedGainDescription(GainFlaw flaw, uint32 uidTag, const char* name)
{
    // Set once: GetPluginFactory runs at every load, while instances of the
    // module may be processing on other threads.
    static const TestFactoryDescription& description = [&]() -> const TestFactoryDescription& {
        moduleFlaw = flaw;
        processorUid = FUID(0x7A1E0009, 0x5E7A4C11, uidTag, 0x0000A001);
        controllerUid = FUID(0x7A1E0009, 0x5E7A4C11, uidTag, 0x0000C001);
        static const TestClass classes[] = {
            {processorUid, kVstAudioEffectClass, name, ComponentFlags::kDistributable, "Fx", createProcessor},
            {controllerUid, kVstComponentControllerClass, "Talven Checked Gain Controller", 0, "", createController},
        };
        static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                                  classes, 2, 3};
        return table;
    }();
    return description;
}

} // namespace talven::testplugin
