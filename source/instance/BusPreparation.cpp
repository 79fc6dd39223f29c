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
    // The side-chain bus is active exactly while a side-chain is set; a
    // plug-in that never had one is not asked about it.
    const int32 aux = firstAuxInputBus(component);
    SidechainFeed* const sidechain = aux >= 0 ? instance.sidechain.get() : nullptr;
    if (aux >= 0 && (sidechain || instance.sidechainBusActive)) {
        component.activateBus(kAudio, kInput, aux, sidechain != nullptr);
        instance.sidechainBusActive = sidechain != nullptr;
    }
    return instance.blocks.prepare(component, instance.channelCount, sidechain ? aux : -1, sidechain)
               ? Preparation::ready
               : Preparation::refused;
}

} // namespace talven
