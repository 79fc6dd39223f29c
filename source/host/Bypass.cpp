#include "host/Bypass.h"

#include "registry/RecordHold.h"
#include "host/ProviderAccess.h"
#include "log/TraceLog.h"
#include "platform/BlockScope.h"

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
bool enterBypass(PluginInstance& instance, Vst::IComponent& component, Vst::IAudioProcessor& processor)
{
    instance.bypass.store(1);
    { ScopedLock barrier(instance.lock); }
    if (!instance.active.load())
        return true;
    if (!processingSwitched(processor.setProcessing(false)))
        return false;
    if (component.setActive(false) != kResultOk)
        return false;
    instance.active = false;
    return true;
}

// Active, then processing on: setProcessing is only legal on an active
// component. bypass is cleared last, so no block reaches the plug-in before
// it is ready. When processing cannot be switched on, the component is made
// inactive again, so that it is in the state bypass says.
bool leaveBypass(PluginInstance& instance, Vst::IComponent& component, Vst::IAudioProcessor& processor)
{
    if (!instance.active.load()) {
        if (component.setActive(true) != kResultOk)
            return false;
        instance.active = true;
    }
    if (!processingSwitched(processor.setProcessing(true))) {
        component.setActive(false);
        instance.active = false;
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
    // From inside the plug-in's own process call the block in progress could
    // never be waited for: refused.
    if (!instance || BlockScope::inside(instance))
        return 0;

    {
        // One switch at a time; the detach takes the plug-in away under the
        // same lock, so it stays while it is switched. The instance lock is
        // not held across the plug-in's calls: blocks keep passing meanwhile.
        ScopedLock control(instance->controlLock);
        const IPtr<Vst::PlugProvider> provider = acquirePlugProvider(*instance);
        if (!instance->processing.load() || !provider)
            return 0;
        // Any non-zero request means "on": a second switch-on would call
        // setProcessing on a component that is already inactive.
        const std::uint32_t wanted = request != 0 ? 1 : 0;
        if (wanted != instance->bypass.load()) {
            IPtr<Vst::IComponent> component = owned(provider->getComponent());
            FUnknownPtr<Vst::IAudioProcessor> processor(component);
            if (!component || !processor)
                return 0;
            if (!(wanted ? enterBypass(*instance, *component, *processor)
                         : leaveBypass(*instance, *component, *processor)))
                return 0;
        }
    }
    writeTraceLine("SetByPass: succeed to bypass <<<");
    return 1;
}

} // namespace talven
