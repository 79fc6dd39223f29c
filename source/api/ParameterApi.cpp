// Exports of bypass and parameter access: argument checks and the C
// boundary; the work is in host/Bypass and host/Parameters.
#include "talven.h"

#include "host/Bypass.h"
#include "host/Parameters.h"

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
    try {
        return talven::setBypass(handle, request);
    } catch (...) {
        return 0;
    }
}

int32_t TALVEN_CALL TALVEN_GetParamCount(uint32_t handle)
{
    try {
        return talven::getParamCount(handle);
    } catch (...) {
        return 0;
    }
}

int32_t TALVEN_CALL TALVEN_GetParamInfo(uint32_t handle, int32_t index, TALVEN_PARAMETERINFO* info)
{
    if (!info)
        return Steinberg::kResultFalse;
    try {
        // Filled here first: a plug-in that refuses may have written half a
        // record, which the caller should not see.
        ParameterInfo filled{};
        const Steinberg::tresult result = talven::getParamInfo(handle, index, &filled);
        if (result == Steinberg::kResultOk)
            std::memcpy(info, &filled, sizeof filled);
        return result;
    } catch (...) {
        return Steinberg::kResultFalse;
    }
}

double TALVEN_CALL TALVEN_GetParam(uint32_t handle, uint32_t id)
{
    try {
        return talven::getParam(handle, id);
    } catch (...) {
        return 0.0;
    }
}

int32_t TALVEN_CALL TALVEN_SetParam(uint32_t handle, uint32_t id, float value)
{
    try {
        return talven::setParam(handle, id, value);
    } catch (...) {
        return Steinberg::kResultFalse;
    }
}

} // extern "C"
