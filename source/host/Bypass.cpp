#include "host/Bypass.h"

#include "registry/RecordHold.h"
#include "log/TraceLog.h"

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

// Processing off, then inactive. bypass is set first, so a block that has
// not yet checked it passes untouched from here on; it stays 1 when the
// plug-in refuses.
bool switchOn(PluginInstance& instance, Vst::IComponent& component, Vst::IAudioProcessor& processor)
{
    instance.bypass.store(1);
    if (!processingSwitched(processor.setProcessing(false)))
        return false;
    return component.setActive(false) == kResultOk;
}

// Active, then processing on: setProcessing is only legal on an active
// component. bypass is cleared last, so no block reaches the plug-in before
// it is ready. When processing cannot be switched on, the component is made
// inactive again, so that it is in the state bypass says.
bool switchOff(PluginInstance& instance, Vst::IComponent& component, Vst::IAudioProcessor& processor)
{
    if (component.setActive(true) != kResultOk)
        return false;
    if (!processingSwitched(processor.setProcessing(true))) {
        component.setActive(false);
        return false;
    }
    instance.bypass.store(0);
    return true;
}

} // namespace

std::int32_t setBypass(std::uint32_t handle, std::int32_t request)
{
    writeTraceLine(request != 0 ? "SetByPass: start >>> ByPass=true" : "SetByPass: start >>> ByPass=false");
    RecordHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance)
        return 0;

    {
        // Checked under the lock: a detach clears processing and the provider
        // under it, so they cannot change while the plug-in is switched.
        ScopedLock guard(instance->lock);
        if (!instance->processing.load() || !instance->plugProvider)
            return 0;
        // Any non-zero request means "on": a second switch-on would call
        // setProcessing on a component that is already inactive.
        const std::uint32_t wanted = request != 0 ? 1 : 0;
        if (wanted != instance->bypass.load()) {
            IPtr<Vst::IComponent> component = owned(instance->plugProvider->getComponent());
            FUnknownPtr<Vst::IAudioProcessor> processor(component);
            if (!component || !processor)
                return 0;
            if (!(wanted ? switchOn(*instance, *component, *processor) : switchOff(*instance, *component, *processor)))
                return 0;
        }
    }
    writeTraceLine("SetByPass: succeed to bypass <<<");
    return 1;
}

} // namespace talven
