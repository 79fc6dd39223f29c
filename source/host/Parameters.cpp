#include "host/Parameters.h"

#include "registry/RecordHold.h"
#include "host/ProviderAccess.h"

#include <algorithm>
#include <cmath>

using namespace Steinberg;

namespace talven {
namespace {

// The instance's controller with a counted reference, or null.
ControllerReference controllerOf(const RecordHold& hold)
{
    PluginInstance* instance = hold.get();
    return instance ? acquireController(*instance) : ControllerReference();
}

} // namespace

std::int32_t getParamCount(std::uint32_t handle)
{
    RecordHold hold(handle);
    const ControllerReference controller = controllerOf(hold);
    return controller ? controller->getParameterCount() : 0;
}

tresult getParamInfo(std::uint32_t handle, std::int32_t index, Vst::ParameterInfo* info)
{
    if (!info)
        return kResultFalse;
    RecordHold hold(handle);
    const ControllerReference controller = controllerOf(hold);
    if (!controller)
        return kResultFalse;
    // Checked here: a plug-in may index an array with it, and one that
    // throws over a bad index would take the program down.
    if (index < 0 || index >= controller->getParameterCount())
        return kResultFalse;
    return controller->getParameterInfo(index, *info);
}

double getParam(std::uint32_t handle, Vst::ParamID id)
{
    RecordHold hold(handle);
    const ControllerReference controller = controllerOf(hold);
    return controller ? controller->getParamNormalized(id) : 0.0;
}

tresult setParam(std::uint32_t handle, Vst::ParamID id, float value)
{
    if (std::isnan(value))
        return kResultFalse;
    // Normalized values are 0..1 by definition; a processor may index tables
    // with them, so nothing outside reaches the plug-in.
    const Vst::ParamValue normalized = std::clamp(static_cast<Vst::ParamValue>(value), 0.0, 1.0);
    RecordHold hold(handle);
    const ControllerReference controller = controllerOf(hold);
    if (!controller)
        return kResultFalse;
    const tresult result = controller->setParamNormalized(id, normalized);
    // A host tells both sides: the controller holds the value, the processor
    // receives it with the next block, as an edit from the editor would.
    if (result == kResultOk && hold.get()->paramTransfer)
        hold.get()->paramTransfer->addChange(id, normalized, 0);
    return result;
}

} // namespace talven
