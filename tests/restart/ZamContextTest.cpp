// zam-plugins (DPF's implementation of the interfaces, not the Steinberg
// SDK's) against the same plug-ins hosted directly through their raw
// interfaces: ZaMaximX2's latency as its processor reports it, ZamDelay
// following the tempo it is told, and ZamCompX2's gain-reduction meter.
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "host/HostContext.h"
#include "sdk/ParameterChanges.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace talven::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr int32 kBlock = 4096;

std::string zamPackage(const std::string& name)
{
    return "/usr/lib/vst3/" + name + ".vst3";
}

// A zam-plugin's first audio effect hosted without the library: its module
// entered, its component made from its factory and initialized with the
// library's host context, its processor set up at rate for blocks of up to
// 4096 frames, active and processing. process() gives each block the
// context a test makes, with the parameter changes queued before it.
class DirectPlugin {
public:
    DirectPlugin(const std::string& package, double rate) : rate_(rate)
    {
        const std::string stem = std::filesystem::path(package).stem().string();
        module_ = dlopen((package + "/Contents/x86_64-linux/" + stem + ".so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module_)
            return;
        auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(module_, "ModuleEntry"));
        auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(dlsym(module_, "GetPluginFactory"));
        if (!entry || !getFactory || !entry(module_))
            return;
        entered_ = true;
        factory_ = getFactory();
        if (!factory_ || !makeComponent())
            return;
        ProcessSetup setup{kRealtime, kSample32, kBlock, rate_};
        if (processor_->setupProcessing(setup) != kResultOk || component_->setActive(true) != kResultOk)
            return;
        active_ = true;
        processor_->setProcessing(true);
    }

    ~DirectPlugin()
    {
        if (active_) {
            processor_->setProcessing(false);
            component_->setActive(false);
        }
        if (processor_)
            processor_->release();
        if (component_) {
            component_->terminate();
            component_->release();
        }
        if (factory_)
            factory_->release();
        if (entered_)
            if (auto exit = reinterpret_cast<bool (*)()>(dlsym(module_, "ModuleExit")))
                exit();
        if (module_)
            dlclose(module_);
    }

    DirectPlugin(const DirectPlugin&) = delete;
    DirectPlugin& operator=(const DirectPlugin&) = delete;

    bool ready() const { return active_; }
    int32 latency() const { return static_cast<int32>(processor_->getLatencySamples()); }

    void setParameter(ParamID id, double value)
    {
        int32 index = 0;
        if (IParamValueQueue* queue = inputChanges_->addParameterData(id, index))
            queue->addPoint(0, value, index);
    }

    // One mono block (at most 4096 frames) through the processor, told that
    // it starts at frame `position` of the stream, at tempo in 4/4, with
    // continuous time counted from the activation (here: from frame 0).
    std::vector<float> processMono(const std::vector<float>& block, std::int64_t position, double tempo)
    {
        std::vector<float> in = block;
        std::vector<float> out = block;
        float* inPointers[] = {in.data()};
        float* outPointers[] = {out.data()};
        AudioBusBuffers inputs{};
        inputs.numChannels = 1;
        inputs.channelBuffers32 = inPointers;
        AudioBusBuffers outputs{};
        outputs.numChannels = 1;
        outputs.channelBuffers32 = outPointers;

        ProcessContext context{};
        context.state = ProcessContext::kPlaying | ProcessContext::kContTimeValid | ProcessContext::kTempoValid |
                        ProcessContext::kTimeSigValid | ProcessContext::kProjectTimeMusicValid |
                        ProcessContext::kBarPositionValid;
        context.sampleRate = rate_;
        context.projectTimeSamples = position;
        context.continousTimeSamples = position;
        context.tempo = tempo;
        context.timeSigNumerator = 4;
        context.timeSigDenominator = 4;
        context.projectTimeMusic = static_cast<double>(position) / rate_ * tempo / 60.0;
        context.barPositionMusic = std::floor(context.projectTimeMusic / 4.0) * 4.0;

        ProcessData data{};
        data.processMode = kRealtime;
        data.symbolicSampleSize = kSample32;
        data.numSamples = static_cast<int32>(block.size());
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &inputs;
        data.outputs = &outputs;
        data.inputParameterChanges = inputChanges_;
        data.outputParameterChanges = outputChanges_;
        data.processContext = &context;
        EXPECT_EQ(processor_->process(data), kResultOk);
        inputChanges_->clearQueue();
        outputChanges_->clearQueue();
        return out;
    }

private:
    bool makeComponent()
    {
        for (int32 i = 0; i < factory_->countClasses(); ++i) {
            PClassInfo info{};
            if (factory_->getClassInfo(i, &info) != kResultOk || std::strcmp(info.category, kVstAudioEffectClass) != 0)
                continue;
            if (factory_->createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&component_)) != kResultOk
                || !component_)
                return false;
            if (component_->initialize(&hostApplication()) != kResultOk)
                return false;
            return component_->queryInterface(IAudioProcessor::iid, reinterpret_cast<void**>(&processor_)) == kResultOk
                   && processor_;
        }
        return false;
    }

    double rate_;
    void* module_ = nullptr;
    bool entered_ = false;
    bool active_ = false;
    IPluginFactory* factory_ = nullptr;
    IComponent* component_ = nullptr;
    IAudioProcessor* processor_ = nullptr;
    IPtr<ParameterChanges> inputChanges_ = owned(new ParameterChanges(16));
    IPtr<ParameterChanges> outputChanges_ = owned(new ParameterChanges(64));
};

std::string titleOf(const TALVEN_PARAMETERINFO& info)
{
    std::string title;
    for (int i = 0; i < 128 && info.title[i] != 0; ++i)
        title += static_cast<char>(info.title[i]);
    return title;
}

// The id of the parameter titled so, with or without the read-only flag.
bool findParameter(std::uint32_t handle, const std::string& title, bool readOnly, std::uint32_t& id)
{
    for (int32_t index = 0; index < TALVEN_GetParamCount(handle); ++index) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, index, &info) != kResultOk)
            continue;
        if (titleOf(info) == title && ((info.flags & ParameterInfo::kIsReadOnly) != 0) == readOnly) {
            id = info.id;
            return true;
        }
    }
    return false;
}

// A mono signal with something for a delay to repeat: a tone and a click
// every 12000 frames.
struct Clicks {
    static float sample(std::int64_t frame)
    {
        return static_cast<float>(0.25 * std::sin(0.021 * static_cast<double>(frame)) + (frame % 12000 == 0 ? 0.5 : 0));
    }
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* next = static_cast<std::int64_t*>(user);
        auto* samples = static_cast<float*>(buffer);
        for (DWORD i = 0; i < length / sizeof(float); ++i)
            samples[i] = sample((*next)++);
        return length;
    }
};

// The direct host enters and leaves the plug-in's module itself, which DPF
// does not count: it never runs while the library holds the same module.
class ZamContextTest : public RestartEngineTest {
protected:
    // What ZamDelay with tempo sync on makes of 24 blocks of the clicks at
    // tempo, hosted directly.
    static std::vector<float> delayedDirectly(const std::string& package, ParamID sync, double tempo)
    {
        DirectPlugin reference(package, kRate);
        EXPECT_TRUE(reference.ready());
        reference.setParameter(sync, 1.0);
        std::vector<float> made;
        for (std::int64_t position = 0; position < 24 * kBlock; position += kBlock) {
            std::vector<float> dry(kBlock);
            for (int32 i = 0; i < kBlock; ++i)
                dry[static_cast<size_t>(i)] = Clicks::sample(position + i);
            const std::vector<float> block = reference.processMono(dry, position, tempo);
            made.insert(made.end(), block.begin(), block.end());
        }
        return made;
    }

    // The same through the library, on a mono channel.
    std::vector<float> delayedThroughLibrary(const std::string& package, double tempo, ParamID& sync)
    {
        std::int64_t next = 0;
        const HSTREAM mono = BASS_StreamCreate(kRate, 1, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, Clicks::proc, &next);
        EXPECT_NE(mono, 0u);
        EXPECT_NE(attach(mono, package), 0u);
        EXPECT_TRUE(findParameter(handle, "Sync BPM", false, sync));
        EXPECT_EQ(TALVEN_SetParam(handle, sync, 1.0f), kResultOk);
        EXPECT_EQ(TALVEN_SetTransport(handle, tempo, 4, 4), 1);
        std::vector<float> got;
        for (int i = 0; i < 24; ++i) {
            const std::vector<float> block = pull(mono, kBlock, 1);
            got.insert(got.end(), block.begin(), block.end());
        }
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        handle = 0;
        return got;
    }
};

TEST_F(ZamContextTest, ZaMaximX2sLatencyIsWhatItsProcessorReportsAtTheChannelsRate)
{
    const std::string package = zamPackage("ZaMaximX2");
    for (DWORD rate : {44100u, 48000u, 96000u}) {
        SCOPED_TRACE(rate);
        std::int32_t expected = 0;
        {
            DirectPlugin direct(package, rate);
            ASSERT_TRUE(direct.ready());
            expected = direct.latency();
        }
        EXPECT_GT(expected, 0);
        const HSTREAM channel = levelStream(rate);
        ASSERT_NE(channel, 0u);
        ASSERT_NE(attach(channel, package), 0u);
        EXPECT_EQ(info().latencySamples, expected);
        setLevel(0.5f);
        for (int i = 0; i < 20; ++i)
            pull(channel, 1024);
        EXPECT_EQ(info().latencySamples, expected);
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        handle = 0;
    }
}

TEST_F(ZamContextTest, ZamDelaySyncedToTheTempoFollowsItAsWhenHostedDirectly)
{
    const std::string package = zamPackage("ZamDelay");
    ParamID sync = 0;
    const std::vector<float> slow = delayedThroughLibrary(package, 60, sync);
    const std::vector<float> fast = delayedThroughLibrary(package, 120, sync);
    EXPECT_NE(slow, fast);
    EXPECT_EQ(slow, delayedDirectly(package, sync, 60));
    EXPECT_EQ(fast, delayedDirectly(package, sync, 120));
}

TEST_F(ZamContextTest, ZamCompX2sGainReductionRisesWithALoudPassageAndFallsBackAfterSilence)
{
    ASSERT_NE(levelStream(), 0u);
    ASSERT_NE(attach(stream, zamPackage("ZamCompX2")), 0u);
    HeardReports reports;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, HeardReports::hear, &reports), 1);
    std::uint32_t threshold = 0, reduction = 0;
    ASSERT_TRUE(findParameter(handle, "Threshold", false, threshold));
    ASSERT_TRUE(findParameter(handle, "Gain Reduction", true, reduction));
    ASSERT_EQ(TALVEN_SetParam(handle, threshold, 0.0f), kResultOk); // its lowest

    setLevel(0.9f);
    for (int i = 0; i < 50; ++i)
        pull(stream, 1024);
    const double loud = TALVEN_GetParam(handle, reduction);
    EXPECT_GT(loud, 0.1);
    const std::vector<HeardReports::Report> heard = reports.of(reduction);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back().value, loud);

    setLevel(0);
    for (int i = 0; i < 100; ++i)
        pull(stream, 1024);
    EXPECT_LT(TALVEN_GetParam(handle, reduction), loud / 100);
    EXPECT_LT(reports.of(reduction).back().value, loud / 100);
}

} // namespace
} // namespace talven::test
