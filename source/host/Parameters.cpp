#include "host/Parameters.h"

#include <algorithm>
#include <cmath>

using namespace Steinberg;

namespace talven {

std::int32_t getParamCount(const HostedPlugin& plugin)
{
    const Vst::ControllerReference controller = plugin.controller();
    const auto turn = controller.turn();
    return controller ? controller->getParameterCount() : 0;
}

tresult getParamInfo(const HostedPlugin& plugin, std::int32_t index, Vst::ParameterInfo& info)
{
    const Vst::ControllerReference controller = plugin.controller();
    const auto turn = controller.turn();
    if (!controller)
        return kResultFalse;
    // Checked here: a plug-in may index an array with it, and one that
    // throws over a bad index would take the program down.
    if (index < 0 || index >= controller->getParameterCount())
        return kResultFalse;
    return controller->getParameterInfo(index, info);
}

double getParam(const HostedPlugin& plugin, Vst::ParamID id)
{
    const Vst::ControllerReference controller = plugin.controller();
    const auto turn = controller.turn();
    return controller ? controller->getParamNormalized(id) : 0.0;
}

tresult setParam(HostedPlugin& plugin, Vst::ParamID id, float value)
{
    if (std::isnan(value))
        return kResultFalse;
    // Normalized values are 0..1 by definition; a processor may index tables
    // with them, so nothing outside reaches the plug-in.
    const Vst::ParamValue normalized = std::clamp(static_cast<Vst::ParamValue>(value), 0.0, 1.0);
    const Vst::ControllerReference controller = plugin.controller();
    const auto turn = controller.turn();
    if (!controller)
        return kResultFalse;
    tresult result = kResultFalse;
    {
        // A controller that reports the value it was given is not echoed.
        const ParameterReports::SetParamScope scope(*plugin.reports);
        result = controller->setParamNormalized(id, normalized);
    }
    // A host tells both sides: the controller holds the value, the processor
    // receives it with the next block, as an edit from the editor would.
    if (result == kResultOk)
        plugin.paramTransfer->addChange(id, normalized, 0);
    return result;
}

} // namespace talven
