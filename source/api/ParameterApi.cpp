// Exports of bypass and parameter access: argument checks, the handle
// looked up with a hold, and the C boundary; the work is in host/Bypass,
// host/Parameters and host/ParameterText.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "host/Bypass.h"
#include "host/ParameterText.h"
#include "host/Parameters.h"
#include "instance/InstanceHold.h"
#include "instance/InstanceService.h"
#include "log/TraceLog.h"
#include "platform/BlockScope.h"

#include <cstddef>
#include <cstring>

using Steinberg::Vst::ParameterInfo;

// The caller's record is handed to the plug-in as a ParameterInfo.
static_assert(sizeof(TALVEN_PARAMETERINFO) == 792, "TALVEN_PARAMETERINFO must keep ParameterInfo's 792 bytes");
static_assert(sizeof(TALVEN_PARAMETERINFO) == sizeof(ParameterInfo), "ParameterInfo layout");
static_assert(offsetof(TALVEN_PARAMETERINFO, title) == offsetof(ParameterInfo, title), "ParameterInfo layout");
static_assert(offsetof(TALVEN_PARAMETERINFO, shortTitle) == offsetof(ParameterInfo, shortTitle), "ParameterInfo layout");
static_assert(offsetof(TALVEN_PARAMETERINFO, units) == offsetof(ParameterInfo, units), "ParameterInfo layout");
static_assert(offsetof(TALVEN_PARAMETERINFO, stepCount) == offsetof(ParameterInfo, stepCount), "ParameterInfo layout");
static_assert(offsetof(TALVEN_PARAMETERINFO, defaultNormalizedValue) == offsetof(ParameterInfo, defaultNormalizedValue),
              "ParameterInfo layout");
static_assert(offsetof(TALVEN_PARAMETERINFO, unitId) == offsetof(ParameterInfo, unitId), "ParameterInfo layout");
static_assert(offsetof(TALVEN_PARAMETERINFO, flags) == offsetof(ParameterInfo, flags), "ParameterInfo layout");

extern "C" {

int32_t TALVEN_CALL TALVEN_SetBypass(uint32_t handle, int32_t request)
{
    return talven::guardBoundary(0, [&] {
        talven::writeTraceLine(request != 0 ? "SetByPass: start >>> ByPass=true" : "SetByPass: start >>> ByPass=false");
        TALVEN_FORWARD_ISOLATED(handle, setBypass(*link, request));
        talven::InstanceHold hold(handle);
        talven::PluginInstance* instance = hold.get();
        // From inside the plug-in's own process call the block in progress
        // could never be waited for: refused.
        if (!instance || talven::BlockScope::inside(instance) || !talven::setBypass(instance->plugin, request))
            return 0;
        talven::writeTraceLine("SetByPass: succeed to bypass <<<");
        return 1;
    });
}

int32_t TALVEN_CALL TALVEN_GetParamCount(uint32_t handle)
{
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getParamCount(*link));
        talven::InstanceHold hold(handle);
        return hold.get() ? talven::getParamCount(hold.get()->plugin) : 0;
    });
}

int32_t TALVEN_CALL TALVEN_GetParamInfo(uint32_t handle, int32_t index, TALVEN_PARAMETERINFO* info)
{
    TALVEN_ASSERT_RETURN(info != nullptr, Steinberg::kResultFalse);
    return talven::guardBoundary<int32_t>(Steinberg::kResultFalse, [&] {
        // Filled here first: a plug-in that refuses may have written half a
        // record, which the caller should not see.
        TALVEN_FORWARD_ISOLATED(handle, getParamInfo(*link, index, *info));
        talven::InstanceHold hold(handle);
        if (!hold.get())
            return static_cast<Steinberg::tresult>(Steinberg::kResultFalse);
        ParameterInfo filled{};
        const Steinberg::tresult result = talven::getParamInfo(hold.get()->plugin, index, filled);
        if (result == Steinberg::kResultOk)
            std::memcpy(info, &filled, sizeof filled);
        return result;
    });
}

double TALVEN_CALL TALVEN_GetParam(uint32_t handle, uint32_t id)
{
    return talven::guardBoundary(0.0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getParam(*link, id));
        talven::InstanceHold hold(handle);
        if (!hold.get())
            return 0.0;
        // What the processor reported back (a meter) reaches the controller
        // first, so that the value read is the latest.
        talven::serviceInstance(*hold.get());
        return talven::getParam(hold.get()->plugin, id);
    });
}

int32_t TALVEN_CALL TALVEN_SetParam(uint32_t handle, uint32_t id, float value)
{
    return talven::guardBoundary<int32_t>(Steinberg::kResultFalse, [&] {
        TALVEN_FORWARD_ISOLATED(handle, setParam(*link, id, value));
        talven::InstanceHold hold(handle);
        return hold.get() ? talven::setParam(hold.get()->plugin, id, value)
                          : static_cast<Steinberg::tresult>(Steinberg::kResultFalse);
    });
}

int32_t TALVEN_CALL TALVEN_GetParamText(uint32_t handle, uint32_t id, double value, char* text, int32_t size)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(text != nullptr && size >= 1, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getParamText(*link, id, value, text, size));
        talven::InstanceHold hold(handle);
        return hold.get() && talven::getParamText(hold.get()->plugin, id, value, text, static_cast<std::size_t>(size))
                   ? 1
                   : 0;
    });
}

int32_t TALVEN_CALL TALVEN_GetParamValueFromText(uint32_t handle, uint32_t id, const char* text, double* value)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(text != nullptr && value != nullptr, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getParamValueFromText(*link, id, text, *value));
        talven::InstanceHold hold(handle);
        double read = 0;
        if (!hold.get() || !talven::getParamValueFromText(hold.get()->plugin, id, text, read))
            return 0;
        *value = read;
        return 1;
    });
}

} // extern "C"
