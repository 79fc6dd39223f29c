#include "host/Bypass.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

using namespace Steinberg;

namespace talven {
namespace {

// setProcessing merely informs the plug-in; the SDK's own AudioEffect answers
// kNotImplemented to it. Attach already ignores its result, so bypass must
// not refuse a plug-in that attach accepted.
bool processingSwitched(tresult result)
{
    return result == kResultOk || result == kNotImplemented;
}

// Processing off, then inactive. bypass is set first and the instance lock
// passed through once, so that a block in progress finishes and every later
// block passes untouched before the plug-in is switched off; bypass stays 1
// when the plug-in refuses. setProcessing(false) is only legal on an active
// component, so an inactive one is not asked.
bool enterBypass(HostedPlugin& plugin, Vst::IComponent& component, Vst::IAudioProcessor& processor)
{
    plugin.bypass.store(1);
    { ScopedLock barrier(plugin.lock); }
    if (!plugin.active.load())
        return true;
    if (!processingSwitched(processor.setProcessing(false)))
        return false;
    if (component.setActive(false) != kResultOk)
        return false;
    plugin.active = false;
    return true;
}

// Active, then processing on: setProcessing is only legal on an active
// component. bypass is cleared last, so no block reaches the plug-in before
// it is ready. When processing cannot be switched on, the component is made
// inactive again, so that it is in the state bypass says.
bool leaveBypass(HostedPlugin& plugin, Vst::IComponent& component, Vst::IAudioProcessor& processor)
{
    if (!plugin.active.load()) {
        if (component.setActive(true) != kResultOk)
            return false;
        plugin.active = true;
        ++plugin.activations;
    }
    if (!processingSwitched(processor.setProcessing(true))) {
        component.setActive(false);
        plugin.active = false;
        return false;
    }
    plugin.bypass.store(0);
    return true;
}

} // namespace

bool setBypass(HostedPlugin& plugin, std::int32_t request)
{
    // One switch at a time; the detach takes the plug-in away under the same
    // lock, so it stays while it is switched. Blocks keep passing meanwhile.
    ScopedLock control(plugin.controlLock);
    const IPtr<Vst::PlugProvider> provider = plugin.provider();
    if (!plugin.processing.load() || !provider)
        return false;
    // Any non-zero request means "on": a second switch-on would call
    // setProcessing on a component that is already inactive.
    const std::uint32_t wanted = request != 0 ? 1 : 0;
    if (wanted == plugin.bypass.load())
        return true;
    IPtr<Vst::IComponent> component = owned(provider->getComponent());
    FUnknownPtr<Vst::IAudioProcessor> processor(component);
    if (!component || !processor)
        return false;
    return wanted ? enterBypass(plugin, *component, *processor) : leaveBypass(plugin, *component, *processor);
}

} // namespace talven
