#include "AudioTestSupport.h"

#include "host/HostContext.h"
#include "log/TraceLog.h"
#include "sdk/Module.h"
#include "sdk/ParameterChanges.h"
#include "sdk/PlugProvider.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace talven::test {

using namespace Steinberg;
using namespace Steinberg::Vst;

int stressIterations(int native)
{
#if defined(_WIN32)
    return std::max(1, native / 10);
#elif defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return std::max(1, native / 4);
#else
    return native;
#endif
}

std::string testPluginPath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

float signalSample(std::int64_t frame, int channel)
{
    const double phase = 0.0123 * (channel + 1) * static_cast<double>(frame) + channel;
    return static_cast<float>(0.4 * std::sin(phase) + 0.05 * channel);
}

std::vector<float> signalBlock(std::int64_t first, int channels, int frames)
{
    std::vector<float> block(static_cast<size_t>(channels) * static_cast<size_t>(frames));
    for (int j = 0; j < frames; ++j)
        for (int c = 0; c < channels; ++c)
            block[static_cast<size_t>(j) * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                signalSample(first + j, c);
    return block;
}

DWORD CALLBACK SignalSource::proc(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* source = static_cast<SignalSource*>(user);
    const DWORD frameBytes = static_cast<DWORD>(sizeof(float)) * static_cast<DWORD>(source->channels);
    const int frames = static_cast<int>(length / frameBytes);
    const std::vector<float> block = signalBlock(source->nextFrame, source->channels, frames);
    std::copy(block.begin(), block.end(), static_cast<float*>(buffer));
    source->nextFrame += frames;
    return static_cast<DWORD>(frames) * frameBytes;
}

// ------------------------------------------------------------------ engine

void EngineTest::SetUp()
{
    std::remove(kTraceFileName);
    ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr));
}

void EngineTest::TearDown()
{
    BASSTEST_FailNextCall(nullptr, 0);
    // Frees every channel left: their free syncs take the plug-ins down.
    EXPECT_TRUE(BASS_Free());
}

HSTREAM EngineTest::decodeStream(int channels)
{
    sources_.push_back(std::make_unique<SignalSource>(channels));
    return BASS_StreamCreate(kRate, static_cast<DWORD>(channels), BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE,
                             SignalSource::proc, sources_.back().get());
}

HSTREAM EngineTest::playingStream(int channels)
{
    sources_.push_back(std::make_unique<SignalSource>(channels));
    const HSTREAM stream = BASS_StreamCreate(kRate, static_cast<DWORD>(channels), BASS_SAMPLE_FLOAT,
                                             SignalSource::proc, sources_.back().get());
    if (stream)
        BASS_ChannelPlay(stream, FALSE);
    return stream;
}

std::vector<float> EngineTest::pull(HSTREAM stream, int channels, int frames)
{
    std::vector<float> block(static_cast<size_t>(channels) * static_cast<size_t>(frames));
    const DWORD bytes = static_cast<DWORD>(block.size() * sizeof(float));
    EXPECT_EQ(BASS_ChannelGetData(stream, block.data(), bytes), bytes);
    return block;
}

// ------------------------------------------------------------------- probe

Probe::Probe(const std::string& name) : path_(testPluginPath(name))
{
#ifdef _WIN32
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/" + name + ".vst3";
#else
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/" + name + ".so";
#endif
    std::string error;
    library_ = loadLibrary(inner, error);
    if (library_)
        reset();
}

Probe::~Probe()
{
    if (library_)
        reset();
    freeLibrary(library_);
}

void* Probe::symbol(const char* name) const
{
    return library_ ? librarySymbol(library_, name) : nullptr;
}

TalvenProbeStats Probe::stats() const
{
    TalvenProbeStats stats{};
    if (auto read = reinterpret_cast<TalvenProbeReadProc>(symbol(TALVEN_PROBE_READ)))
        read(&stats);
    return stats;
}

void Probe::reset() const
{
    if (auto call = reinterpret_cast<TalvenProbeResetProc>(symbol(TALVEN_PROBE_RESET)))
        call();
}

void Probe::failNext(int count) const
{
    if (auto call = reinterpret_cast<TalvenProbeFailNextProc>(symbol(TALVEN_PROBE_FAIL_NEXT)))
        call(count);
}

void Probe::hold(bool on) const
{
    if (auto call = reinterpret_cast<TalvenProbeHoldProc>(symbol(TALVEN_PROBE_HOLD)))
        call(on ? 1 : 0);
}

bool Probe::held() const
{
    auto call = reinterpret_cast<TalvenProbeHeldProc>(symbol(TALVEN_PROBE_HELD));
    return call && call() != 0;
}

std::int64_t Probe::threadTag() const
{
    auto call = reinterpret_cast<TalvenProbeThreadTagProc>(symbol(TALVEN_PROBE_THREAD_TAG));
    return call ? call() : -1;
}

// ---------------------------------------------------------- reference host

namespace {

constexpr int32 kMaxFrames = 4096;

std::vector<int32> busChannels(IComponent& component, BusDirection direction)
{
    std::vector<int32> channels;
    const int32 count = component.getBusCount(kAudio, direction);
    for (int32 b = 0; b < count; ++b) {
        BusInfo info{};
        channels.push_back(component.getBusInfo(kAudio, direction, b, info) == kResultOk ? info.channelCount : 0);
    }
    return channels;
}

// One direction's buses for one piece, in the sample type of the set-up.
template <typename Sample>
struct Buses {
    Buses(const std::vector<int32>& shape, int32 frames)
    {
        for (int32 channels : shape) {
            storage.emplace_back();
            pointers.emplace_back();
            for (int32 c = 0; c < channels; ++c)
                storage.back().emplace_back(static_cast<size_t>(frames), Sample(0));
        }
        for (size_t b = 0; b < shape.size(); ++b) {
            for (auto& channel : storage[b])
                pointers[b].push_back(channel.data());
            AudioBusBuffers bus{};
            bus.numChannels = shape[b];
            if constexpr (sizeof(Sample) == sizeof(Sample64))
                bus.channelBuffers64 = pointers[b].empty() ? nullptr : pointers[b].data();
            else
                bus.channelBuffers32 = pointers[b].empty() ? nullptr : pointers[b].data();
            buses.push_back(bus);
        }
    }
    // Bus 0 from the block's first channels, frames [first, first + count).
    void fill(const std::vector<float>& block, int channels, int first)
    {
        if (storage.empty())
            return;
        for (size_t c = 0; c < storage[0].size() && static_cast<int>(c) < channels; ++c)
            for (size_t j = 0; j < storage[0][c].size(); ++j)
                storage[0][c][j] = block[(static_cast<size_t>(first) + j) * static_cast<size_t>(channels) + c];
    }
    std::vector<std::vector<std::vector<Sample>>> storage;
    std::vector<std::vector<Sample*>> pointers;
    std::vector<AudioBusBuffers> buses;
};

} // namespace

struct ReferenceHost::State {
    VST3::Hosting::Module::Ptr module;
    IPtr<PlugProvider> provider;
    IPtr<IComponent> component;
    IPtr<IAudioProcessor> processor;
    int32 sampleSize = kSample32;
    IPtr<ParameterChanges> inputChanges = owned(new ParameterChanges(16));
    IPtr<ParameterChanges> outputChanges = owned(new ParameterChanges(16));
    bool ready = false;

    template <typename Sample>
    bool processPiece(const std::vector<float>& block, int channels, int first, int count, std::vector<float>& out)
    {
        Buses<Sample> inputs(busChannels(*component, kInput), count);
        Buses<Sample> outputs(busChannels(*component, kOutput), count);
        inputs.fill(block, channels, first);
        outputs.fill(block, channels, first);
        ProcessData data{};
        data.processMode = kRealtime;
        data.symbolicSampleSize = sampleSize;
        data.numSamples = count;
        data.numInputs = static_cast<int32>(inputs.buses.size());
        data.numOutputs = static_cast<int32>(outputs.buses.size());
        data.inputs = inputs.buses.empty() ? nullptr : inputs.buses.data();
        data.outputs = outputs.buses.empty() ? nullptr : outputs.buses.data();
        data.inputParameterChanges = inputChanges;
        data.outputParameterChanges = outputChanges;
        const bool ok = processor->process(data) == kResultOk;
        inputChanges->clearQueue();
        outputChanges->clearQueue();
        if (!ok || outputs.storage.empty())
            return ok;
        const auto& main = outputs.storage[0];
        for (size_t c = 0; c < main.size() && static_cast<int>(c) < channels; ++c)
            for (int j = 0; j < count; ++j)
                out[(static_cast<size_t>(first + j)) * static_cast<size_t>(channels) + c] =
                    static_cast<float>(main[c][static_cast<size_t>(j)]);
        return true;
    }
};

ReferenceHost::ReferenceHost(const std::string& path) : state_(std::make_unique<State>())
{
    setGlobalPluginContext();
    std::string error;
    state_->module = VST3::Hosting::Module::create(path, error);
    if (!state_->module)
        return;
    const auto& factory = state_->module->getFactory();
    for (const auto& classInfo : factory.classInfos()) {
        if (classInfo.category() != kVstAudioEffectClass)
            continue;
        state_->provider = owned(new PlugProvider(factory, classInfo, true));
        if (!state_->provider->initialize())
            state_->provider = nullptr;
        break;
    }
    if (!state_->provider)
        return;
    state_->component = owned(state_->provider->getComponent());
    FUnknownPtr<IAudioProcessor> processor(state_->component);
    if (!processor)
        return;
    state_->processor = processor.getInterface();
    state_->sampleSize = processor->canProcessSampleSize(kSample32) == kResultTrue ? kSample32 : kSample64;
    ProcessSetup setup{kRealtime, state_->sampleSize, kMaxFrames, static_cast<double>(kRate)};
    if (processor->setupProcessing(setup) != kResultOk || state_->component->setActive(true) != kResultOk)
        return;
    processor->setProcessing(true);
    state_->ready = true;
}

ReferenceHost::~ReferenceHost()
{
    if (state_->ready) {
        state_->processor->setProcessing(false);
        state_->component->setActive(false);
    }
    state_->processor = nullptr;
    state_->component = nullptr;
    state_->provider = nullptr;
}

bool ReferenceHost::ready() const
{
    return state_->ready;
}

void ReferenceHost::setParameter(std::uint32_t id, double value)
{
    int32 index = 0;
    if (IParamValueQueue* queue = state_->inputChanges->addParameterData(id, index))
        queue->addPoint(0, value, index);
}

std::vector<float> ReferenceHost::process(const std::vector<float>& block, int channels)
{
    std::vector<float> out = block;
    const int frames = static_cast<int>(block.size() / static_cast<size_t>(channels));
    for (int first = 0; first < frames; first += kMaxFrames) {
        const int count = std::min(kMaxFrames, frames - first);
        const bool ok = state_->sampleSize == kSample64
                            ? state_->processPiece<Sample64>(block, channels, first, count, out)
                            : state_->processPiece<Sample32>(block, channels, first, count, out);
        if (!ok)
            return block;
    }
    return out;
}

} // namespace talven::test
