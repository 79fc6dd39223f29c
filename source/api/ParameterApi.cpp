// Exports of bypass and parameter access: argument checks and the C
// boundary; the work is in host/Bypass and host/Parameters.
#include "talven.h"

#include "api/Boundary.h"
#include "host/Bypass.h"
#include "host/ParameterText.h"
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
    return talven::guardBoundary(0, [&] { return talven::setBypass(handle, request); });
}

int32_t TALVEN_CALL TALVEN_GetParamCount(uint32_t handle)
{
    return talven::guardBoundary(0, [&] { return talven::getParamCount(handle); });
}

int32_t TALVEN_CALL TALVEN_GetParamInfo(uint32_t handle, int32_t index, TALVEN_PARAMETERINFO* info)
{
    TALVEN_ASSERT_RETURN(info != nullptr, Steinberg::kResultFalse);
    return talven::guardBoundary<int32_t>(Steinberg::kResultFalse, [&] {
        // Filled here first: a plug-in that refuses may have written half a
        // record, which the caller should not see.
        ParameterInfo filled{};
        const Steinberg::tresult result = talven::getParamInfo(handle, index, &filled);
        if (result == Steinberg::kResultOk)
            std::memcpy(info, &filled, sizeof filled);
        return result;
    });
}

double TALVEN_CALL TALVEN_GetParam(uint32_t handle, uint32_t id)
{
    return talven::guardBoundary(0.0, [&] { return talven::getParam(handle, id); });
}

int32_t TALVEN_CALL TALVEN_SetParam(uint32_t handle, uint32_t id, float value)
{
    return talven::guardBoundary<int32_t>(Steinberg::kResultFalse, [&] { return talven::setParam(handle, id, value); });
}

int32_t TALVEN_CALL TALVEN_GetParamText(uint32_t handle, uint32_t id, double value, char* text, int32_t size)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(text != nullptr && size >= 1, 0);
    return talven::guardBoundary(0, [&] {
        return talven::getParamText(handle, id, value, text, static_cast<std::size_t>(size)) ? 1 : 0;
    });
}

int32_t TALVEN_CALL TALVEN_GetParamValueFromText(uint32_t handle, uint32_t id, const char* text, double* value)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(text != nullptr && value != nullptr, 0);
    return talven::guardBoundary(0, [&] {
        double read = 0;
        if (!talven::getParamValueFromText(handle, id, text, read))
            return 0;
        *value = read;
        return 1;
    });
}

} // extern "C"
