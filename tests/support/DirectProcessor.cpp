#include "DirectProcessor.h"

#include "host/HostContext.h"
#include "sdk/HostProcessData.h"
#include "sdk/Module.h"
#include "sdk/ParameterChanges.h"
#include "sdk/PlugProvider.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <algorithm>
#include <cstring>

namespace talven::support {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

template <typename Sample>
Sample* channelBuffer(const AudioBusBuffers& bus, int32 channel)
{
    if constexpr (sizeof(Sample) == sizeof(Sample64))
        return bus.channelBuffers64[channel];
    else
        return bus.channelBuffers32[channel];
}

// Channel `channel` of the interleaved block, frames [first, first + count),
// into target.
template <typename Sample>
void deinterleave(const float* block, int channels, int channel, int first, int count, Sample* target)
{
    const float* source = block + static_cast<std::size_t>(first) * static_cast<std::size_t>(channels) +
                          static_cast<std::size_t>(channel);
    for (int j = 0; j < count; ++j, source += channels)
        target[j] = static_cast<Sample>(*source);
}

template <typename Sample>
void interleave(const Sample* source, float* block, int channels, int channel, int first, int count)
{
    float* target = block + static_cast<std::size_t>(first) * static_cast<std::size_t>(channels) +
                    static_cast<std::size_t>(channel);
    for (int j = 0; j < count; ++j, target += channels)
        *target = static_cast<float>(source[j]);
}

} // namespace

struct DirectProcessor::State {
    VST3::Hosting::Module::Ptr module;
    IPtr<PlugProvider> provider;
    IPtr<IComponent> component;
    IPtr<IAudioProcessor> processor;
    int32 sampleSize = kSample32;
    // The plug-in's own layout, each channel with a buffer of kMaxFrames.
    HostProcessData data;
    ParameterChanges inputChanges{16};
    ParameterChanges outputChanges{16};
    ProcessContext context{};
    bool ready = false;
    int32 auxBus = -1;
    bool auxActive = false;
    const float* aux = nullptr;
    int auxChannels = 0;

    template <typename Sample>
    void loadAux(int first, int count)
    {
        if (!aux || auxBus < 0 || auxBus >= data.numInputs)
            return;
        const AudioBusBuffers& bus = data.inputs[auxBus];
        for (int32 c = 0; c < bus.numChannels; ++c) {
            Sample* buffer = channelBuffer<Sample>(bus, c);
            for (int j = 0; j < count; ++j) {
                const float* frame = aux + static_cast<std::size_t>(first + j) * static_cast<std::size_t>(auxChannels);
                if (auxChannels == 1 || (bus.numChannels > 1 && c < auxChannels)) {
                    buffer[j] = static_cast<Sample>(frame[auxChannels == 1 ? 0 : c]);
                } else if (bus.numChannels == 1) {
                    float sum = 0;
                    for (int k = 0; k < auxChannels; ++k)
                        sum += frame[k];
                    buffer[j] = static_cast<Sample>(sum * (1.0f / static_cast<float>(auxChannels)));
                } else {
                    buffer[j] = Sample(0);
                }
            }
        }
    }

    template <typename Sample>
    void load(const float* block, int channels, int first, int count)
    {
        const auto loadDirection = [&](AudioBusBuffers* buses, int32 busCount) {
            for (int32 b = 0; b < busCount; ++b) {
                for (int32 c = 0; c < buses[b].numChannels; ++c) {
                    Sample* buffer = channelBuffer<Sample>(buses[b], c);
                    if (b == 0 && c < channels)
                        deinterleave(block, channels, c, first, count, buffer);
                    else
                        std::fill(buffer, buffer + count, Sample(0));
                }
            }
        };
        loadDirection(data.inputs, data.numInputs);
        loadDirection(data.outputs, data.numOutputs);
    }

    template <typename Sample>
    void store(float* block, int channels, int first, int count) const
    {
        if (data.numOutputs == 0)
            return;
        const AudioBusBuffers& main = data.outputs[0];
        for (int32 c = 0; c < main.numChannels && c < channels; ++c)
            interleave(channelBuffer<Sample>(main, c), block, channels, c, first, count);
    }
};

DirectProcessor::DirectProcessor(const std::string& path, double sampleRate) : state_(std::make_unique<State>())
{
    setGlobalPluginContext();
    std::string error;
    State& s = *state_;
    s.module = VST3::Hosting::Module::create(path, error);
    if (!s.module)
        return;
    const auto& factory = s.module->getFactory();
    for (const auto& classInfo : factory.classInfos()) {
        if (classInfo.category() != kVstAudioEffectClass)
            continue;
        s.provider = owned(new PlugProvider(factory, classInfo, true));
        if (!s.provider->initialize())
            s.provider = nullptr;
        break;
    }
    if (!s.provider)
        return;
    s.component = owned(s.provider->getComponent());
    FUnknownPtr<IAudioProcessor> processor(s.component);
    if (!processor)
        return;
    s.processor = processor.getInterface();
    s.sampleSize = processor->canProcessSampleSize(kSample32) == kResultTrue ? kSample32 : kSample64;
    for (int32 i = 0; i < s.component->getBusCount(kAudio, kInput); ++i) {
        BusInfo info{};
        if (s.component->getBusInfo(kAudio, kInput, i, info) == kResultOk && info.busType == kAux &&
            info.channelCount > 0) {
            s.auxBus = i;
            break;
        }
    }
    if (s.component->getBusCount(kEvent, kInput) > 0)
        s.component->activateBus(kEvent, kInput, 0, true);
    ProcessSetup setup{kRealtime, s.sampleSize, kMaxFrames, sampleRate};
    if (processor->setupProcessing(setup) != kResultOk || s.component->setActive(true) != kResultOk)
        return;
    processor->setProcessing(true);
    if (!s.data.prepare(*s.component, kMaxFrames, s.sampleSize))
        return;
    s.data.processMode = kRealtime;
    s.data.inputParameterChanges = &s.inputChanges;
    s.data.outputParameterChanges = &s.outputChanges;
    s.ready = true;
}

DirectProcessor::~DirectProcessor()
{
    State& s = *state_;
    if (s.ready) {
        s.processor->setProcessing(false);
        s.component->setActive(false);
    }
    s.data.unprepare();
    s.processor = nullptr;
    s.component = nullptr;
    s.provider = nullptr;
}

bool DirectProcessor::hasAuxInput() const
{
    return state_->auxBus >= 0;
}

std::vector<float> DirectProcessor::process(const std::vector<float>& block, int channels,
                                            const std::vector<float>& aux, int auxChannels)
{
    State& s = *state_;
    if (s.auxBus >= 0 && s.ready && !s.auxActive) {
        // Buses change only while inactive.
        s.processor->setProcessing(false);
        s.component->setActive(false);
        s.component->activateBus(kAudio, kInput, s.auxBus, true);
        s.component->setActive(true);
        s.processor->setProcessing(true);
        s.auxActive = true;
    }
    s.aux = aux.data();
    s.auxChannels = auxChannels;
    std::vector<float> out = process(block, channels);
    s.aux = nullptr;
    return out;
}

bool DirectProcessor::ready() const
{
    return state_->ready;
}

void DirectProcessor::setContext(const ProcessContext& context)
{
    state_->context = context;
    state_->data.processContext = &state_->context;
}

void DirectProcessor::setEvents(IEventList* events)
{
    state_->data.inputEvents = events;
}

std::int32_t DirectProcessor::latency() const
{
    return state_->processor ? static_cast<std::int32_t>(state_->processor->getLatencySamples()) : 0;
}

bool DirectProcessor::wide() const
{
    return state_->sampleSize == kSample64;
}

void DirectProcessor::setParameter(std::uint32_t id, double value)
{
    int32 index = 0;
    if (IParamValueQueue* queue = state_->inputChanges.addParameterData(id, index))
        queue->addPoint(0, value, index);
}

void DirectProcessor::load(const float* block, int channels, int first, int count)
{
    if (wide()) {
        state_->load<Sample64>(block, channels, first, count);
        state_->loadAux<Sample64>(first, count);
    } else {
        state_->load<Sample32>(block, channels, first, count);
        state_->loadAux<Sample32>(first, count);
    }
}

bool DirectProcessor::process(int count)
{
    State& s = *state_;
    s.data.numSamples = count;
    const bool ok = s.processor->process(s.data) == kResultOk;
    s.outputChanges.clearQueue();
    // Changes the processor refused wait for the next call, as the library
    // keeps them.
    if (ok)
        s.inputChanges.clearQueue();
    return ok;
}

void DirectProcessor::store(float* block, int channels, int first, int count) const
{
    if (wide())
        state_->store<Sample64>(block, channels, first, count);
    else
        state_->store<Sample32>(block, channels, first, count);
}

std::vector<float> DirectProcessor::process(const std::vector<float>& block, int channels)
{
    std::vector<float> out = block;
    if (!ready())
        return out;
    const int frames = static_cast<int>(block.size() / static_cast<std::size_t>(channels));
    for (int first = 0; first < frames; first += kMaxFrames) {
        const int count = std::min(kMaxFrames, frames - first);
        load(block.data(), channels, first, count);
        if (!process(count))
            break;
        store(out.data(), channels, first, count);
    }
    return out;
}

} // namespace talven::support
