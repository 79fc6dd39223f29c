#include "instance/BusPreparation.h"

#include "host/BusSetup.h"
#include <memory>

#include "pluginterfaces/vst/ivstaudioprocessor.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

// A plug-in with an event input has its first event bus activated and its
// MIDI mapping read; the input's queue is made once and kept, so that what
// was sent before a restart still arrives after it. Null for a plug-in
// without an event input.
MidiInput* prepareEventInput(PluginInstance& instance, IComponent& component)
{
    if (component.getBusCount(kEvent, kInput) <= 0)
        return nullptr;
    component.activateBus(kEvent, kInput, 0, true);
    if (!instance.midiInput)
        instance.midiInput = std::make_unique<MidiInput>();
    MidiInput* const midi = instance.midiInput.get();
    const Steinberg::Vst::ControllerReference controller = instance.plugin.controller();
    if (controller) {
        const auto turn = controller.turn();
        midi->mapping().read(*controller.get());
    }
    instance.midi.store(midi, std::memory_order_release);
    return midi;
}

} // namespace

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
    MidiInput* const midi = prepareEventInput(instance, component);
    return instance.blocks.prepare(component, instance.channelCount, sidechain ? aux : -1, sidechain, midi)
               ? Preparation::ready
               : Preparation::refused;
}

} // namespace talven
