#include "instance/InstanceService.h"

#include "host/Instantiation.h"
#include "host/BusSetup.h"
#include "instance/BusPreparation.h"
#include "platform/BlockScope.h"
#include "platform/ThreadRole.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <new>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

// Buses negotiated and activated again, blocks prepared for them and the
// set-up told again. False when the plug-in refuses, or its new buses offer
// nothing to process the channel with.
bool setUpAgain(PluginInstance& instance, IComponent& component, IAudioProcessor& processor)
{
    try {
        if (prepareBusesAndBlocks(instance, component) != Preparation::ready)
            return false;
    } catch (const std::bad_alloc&) {
        instance.blocks.release();
        return false;
    }
    ProcessSetup setup{kRealtime, instance.blocks.sampleSize(), BlockProcessor::kMaxFrames, instance.plugin.sampleRate};
    return processor.setupProcessing(setup) == kResultOk;
}

// After a reload or an I/O change the plug-in may list other parameters:
// the processor's reports of new ones get slots, those of parameters gone
// lose theirs. Blocks pass dry meanwhile (DryBlocks), so none stores.
void renewOutputSlots(PluginInstance& instance)
{
    const ControllerReference controller = instance.plugin.controller();
    if (!controller)
        return;
    // Let go after the instance lock, below.
    OutputParameters fresh;
    try {
        fresh.prepare(sweepParameters(*controller.get()));
    } catch (const std::bad_alloc&) {
        return; // the old slots stay: values of parameters still listed arrive
    }
    if (instance.outputs.sameIdsAs(fresh))
        return;
    ScopedLock guard(instance.plugin.lock);
    instance.outputs.adopt(fresh);
}

// Marks the restart for the audio thread, and clears the mark when it ends.
class DryBlocks {
public:
    explicit DryBlocks(HostedPlugin& plugin) : plugin_(plugin)
    {
        plugin_.restarting.store(true);
        // A block in progress finishes; every later one finds the mark.
        ScopedLock barrier(plugin_.lock);
    }
    ~DryBlocks() { plugin_.restarting.store(false); }
    DryBlocks(const DryBlocks&) = delete;
    DryBlocks& operator=(const DryBlocks&) = delete;

private:
    HostedPlugin& plugin_;
};

} // namespace

void carryOutRestarts(PluginInstance& instance, bool mayWait)
{
    HostedPlugin& plugin = instance.plugin;
    // Never on the audio thread (a library call from the parameter callback
    // after a block): switching the plug-in off and on, and setting it up
    // again, wait for a thread that may block.
    if (!plugin.restarts->any() || BlockScope::inside(&instance) || AudioWorkScope::active())
        return;
    // One state change at a time, and not while a detach takes the plug-in.
    ScopedLock control(plugin.controlLock);
    // Set only under this lock: a restart in progress on this thread, which
    // the plug-in called back from. It is half done; the next call will do.
    if (plugin.restarting.load())
        return;
    // A plug-in may be its own controller, and the slots made again below
    // come from the controller's list: no other caller in it meanwhile.
    const ControllerReference controller = plugin.controller();
    const auto turn = controller.turn(mayWait);
    if (!turn.held())
        return; // left for a later call
    const int32 flags = plugin.restarts->take();
    if (flags == 0 || !instance.attached.load() || !plugin.processing.load())
        return;
    const IPtr<PlugProvider> provider = plugin.provider();
    if (!provider)
        return;
    const IPtr<IComponent> component = owned(provider->getComponent());
    FUnknownPtr<IAudioProcessor> processor(component);
    if (!component || !processor)
        return;

    // What the plug-in asks from inside the calls below is left for the next
    // restart only where this one does not answer it.
    RestartRequests::Cycle cycle(*plugin.restarts);
    const DryBlocks dry(plugin);
    const bool wasActive = plugin.active.load();
    if (wasActive) {
        processor->setProcessing(false);
        component->setActive(false);
        plugin.active = false;
    }
    if ((flags & (kIoChanged | kReloadComponent)) != 0 && !setUpAgain(instance, *component, *processor)) {
        // Refused: every block passes dry from now on, as after a refused
        // set-up at attach.
        plugin.processing = false;
        return;
    }
    if ((flags & (kIoChanged | kReloadComponent)) != 0) {
        cycle.answered(kIoChanged | kReloadComponent);
        renewOutputSlots(instance);
    }
    if (!wasActive)
        return; // bypassed: the end of the bypass activates it again
    if (component->setActive(true) != kResultOk) {
        plugin.processing = false;
        return;
    }
    plugin.active = true;
    ++plugin.activations;
    processor->setProcessing(true);
    // The latency is read after this activation.
    cycle.answered(kLatencyChanged);
}

void deliverOutputValues(PluginInstance& instance, bool mayWait)
{
    const ControllerReference controller = instance.plugin.controller();
    if (!controller)
        return;
    const auto turn = controller.turn(mayWait);
    if (!turn.held())
        return; // the values wait in their slots for a later call
    instance.outputs.take([&](ParamID id, double value) {
        controller->setParamNormalized(id, value);
        instance.plugin.reports->report(id, value);
    });
}

void serviceInstance(PluginInstance& instance, bool mayWait)
{
    if (BlockScope::inside(&instance))
        return;
    carryOutRestarts(instance, mayWait);
    deliverOutputValues(instance, mayWait);
}

bool replaceSidechain(PluginInstance& instance, std::unique_ptr<SidechainFeed>& feed)
{
    HostedPlugin& plugin = instance.plugin;
    if (BlockScope::inside(&instance) || AudioWorkScope::active())
        return false;
    ScopedLock control(plugin.controlLock);
    if (plugin.restarting.load() || !instance.attached.load())
        return false;
    const IPtr<PlugProvider> provider = plugin.provider();
    const IPtr<IComponent> component = provider ? owned(provider->getComponent()) : nullptr;
    FUnknownPtr<IAudioProcessor> processor(component);
    if (!component || !processor || (feed && firstAuxInputBus(*component) < 0))
        return false;
    if (!feed && !instance.sidechain)
        return true; // nothing to remove

    const DryBlocks dry(plugin);
    const bool wasActive = plugin.active.load();
    if (wasActive) {
        processor->setProcessing(false);
        component->setActive(false);
        plugin.active = false;
    }
    instance.sidechain.swap(feed);
    if (!plugin.processing.load()) {
        // Blocks pass dry for good; they must not keep the feed going away.
        instance.blocks.release();
        return true;
    }
    if (!setUpAgain(instance, *component, *processor)) {
        plugin.processing = false;
        return true;
    }
    if (!wasActive)
        return true; // bypassed: the end of the bypass activates it again
    if (component->setActive(true) != kResultOk) {
        plugin.processing = false;
        return true;
    }
    plugin.active = true;
    ++plugin.activations;
    processor->setProcessing(true);
    return true;
}

} // namespace talven
