#include "host/ProcessingSetup.h"

#include "host/BusBuffers.h"
#include "log/TraceLog.h"
#include "registry/BassApi.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {

void prepareProcessing(PluginInstance& instance, std::uint32_t channel)
{
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(channel, &info);
    // No block can run yet: the DSP is set only after this.
    ScopedLock control(instance.controlLock);
    instance.channelBuffers = std::make_unique<ChannelBuffers>();
    instance.processData = std::make_unique<HostProcessData>();
    if (instance.plugProvider) {
        IPtr<IComponent> component = owned(instance.plugProvider->getComponent());
        if (FUnknownPtr<IAudioProcessor>(component))
            instance.sampleRate = static_cast<double>(info.freq);
    }
    instance.blockSize = kMaxBlockFrames;
    updateProcessSetup(instance);
}

bool updateProcessSetup(PluginInstance& instance)
{
    if (!instance.plugProvider)
        return false;
    IPtr<IComponent> component = owned(instance.plugProvider->getComponent());
    FUnknownPtr<IAudioProcessor> processor(component);
    if (!processor)
        return false;
    // Announcing 32-bit to a processor that refuses it would make it refuse
    // the whole set-up, so it is told the size it will be given.
    ProcessSetup setup{kRealtime, chooseSampleSize(*processor), instance.blockSize, instance.sampleRate};
    if (processor->setupProcessing(setup) != kResultOk)
        return false;
    if (component->setActive(true) != kResultOk)
        return false;
    instance.active = true;
    writeTraceLine("updateProcessSetup setProcessing(true)");
    processor->setProcessing(true);
    instance.processing = true;
    return true;
}

void switchOffProcessing(PlugProvider& provider)
{
    IPtr<IComponent> component = owned(provider.getComponent());
    if (!component)
        return;
    if (FUnknownPtr<IAudioProcessor> processor{component})
        processor->setProcessing(false);
    component->setActive(false);
}

} // namespace talven
