#include "DirectProcessor.h"

#include "host/HostContext.h"
#include "sdk/HostProcessData.h"
#include "sdk/Module.h"
#include "sdk/ParameterChanges.h"
#include "sdk/PlugProvider.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <cmath>

namespace talven::bench {

using namespace Steinberg;
using namespace Steinberg::Vst;

struct DirectProcessor::State {
    VST3::Hosting::Module::Ptr module;
    IPtr<PlugProvider> provider;
    IPtr<IComponent> component;
    IPtr<IAudioProcessor> processor;
    HostProcessData data;
    IPtr<ParameterChanges> inputChanges = owned(new ParameterChanges(16));
    IPtr<ParameterChanges> outputChanges = owned(new ParameterChanges(16));
    bool ready = false;
};

DirectProcessor::DirectProcessor(const std::string& path) : state_(std::make_unique<State>())
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
    ProcessSetup setup{kRealtime, kSample32, 4096, 48000.0};
    if (processor->setupProcessing(setup) != kResultOk || state_->component->setActive(true) != kResultOk)
        return;
    processor->setProcessing(true);
    // The plug-in's own layout, with buffers it owns, filled with a tone.
    state_->data.prepare(*state_->component, 4096, kSample32);
    for (int32 b = 0; b < state_->data.numInputs; ++b)
        for (int32 c = 0; c < state_->data.inputs[b].numChannels; ++c)
            for (int j = 0; j < 4096; ++j)
                state_->data.inputs[b].channelBuffers32[c][j] = static_cast<float>(0.4 * std::sin(0.01 * j + c));
    state_->ready = true;
}

DirectProcessor::~DirectProcessor()
{
    if (state_->ready) {
        state_->processor->setProcessing(false);
        state_->component->setActive(false);
    }
    state_->data.unprepare();
    state_->processor = nullptr;
    state_->component = nullptr;
    state_->provider = nullptr;
}

bool DirectProcessor::ready() const
{
    return state_->ready;
}

bool DirectProcessor::process(int frames)
{
    state_->data.numSamples = frames;
    state_->data.inputParameterChanges = state_->inputChanges;
    state_->data.outputParameterChanges = state_->outputChanges;
    state_->outputChanges->clearQueue();
    return state_->processor->process(state_->data) == kResultOk;
}

} // namespace talven::bench
