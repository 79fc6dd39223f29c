#include "instance/BusPreparation.h"

#include "host/BusSetup.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {

Preparation prepareBusesAndBlocks(PluginInstance& instance, IComponent& component)
{
    instance.blocks.release();
    FUnknownPtr<IAudioProcessor> processor(&component);
    if (!processor)
        return Preparation::refused;
    if (setUpBuses(component, *processor, instance.channelCount) != BusFit::usable)
        return Preparation::unusable;
    instance.plugin.busesActive = true;
    return instance.blocks.prepare(component, instance.channelCount) ? Preparation::ready : Preparation::refused;
}

} // namespace talven
