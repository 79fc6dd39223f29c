#include "host/ProcessingSetup.h"

#include "host/BusSetup.h"
#include "log/TraceLog.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {

bool startProcessing(HostedPlugin& plugin, double sampleRate, std::int32_t maxFrames, std::int32_t sampleSize)
{
    const IPtr<PlugProvider> provider = plugin.provider();
    if (!provider)
        return false;
    IPtr<IComponent> component = owned(provider->getComponent());
    FUnknownPtr<IAudioProcessor> processor(component);
    if (!processor)
        return false;
    plugin.sampleRate = sampleRate;
    // Announcing 32-bit to a processor that refuses it would make it refuse
    // the whole set-up, so it is told the size it will be given.
    ProcessSetup setup{kRealtime, sampleSize, maxFrames, sampleRate};
    if (processor->setupProcessing(setup) != kResultOk)
        return false;
    if (component->setActive(true) != kResultOk)
        return false;
    plugin.active = true;
    ++plugin.activations;
    writeTraceLine("updateProcessSetup setProcessing(true)");
    processor->setProcessing(true);
    plugin.processing = true;
    return true;
}

void switchOffProcessing(HostedPlugin& plugin, PlugProvider& provider)
{
    const bool wasActive = plugin.active.exchange(false);
    const bool busesActive = plugin.busesActive.exchange(false);
    if (!wasActive && !busesActive)
        return;
    IPtr<IComponent> component = owned(provider.getComponent());
    if (!component)
        return;
    if (wasActive) {
        if (FUnknownPtr<IAudioProcessor> processor{component})
            processor->setProcessing(false);
        component->setActive(false);
    }
    // Buses may change only while the component is inactive.
    if (busesActive)
        releaseBuses(*component);
}

} // namespace talven
