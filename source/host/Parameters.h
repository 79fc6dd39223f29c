#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstdint>

namespace talven {

// The plug-in's parameters through its edit controller, named by instance
// handle. They take no instance lock and run concurrently with audio
// processing; a counted controller reference keeps the plug-in alive
// against a detach on another thread. A handle that names no instance, a
// detached instance and a plug-in without an edit controller reach no
// plug-in and give the failure value noted on each. Caller's thread.

// The controller's getParameterCount; 0 on failure.
std::int32_t getParamCount(std::uint32_t handle);

// The controller's getParameterInfo into *info; kResultFalse for a null info,
// an index outside 0..count-1 (the plug-in is not asked) and on failure.
Steinberg::tresult getParamInfo(std::uint32_t handle, std::int32_t index, Steinberg::Vst::ParameterInfo* info);

// The controller's getParamNormalized, unnarrowed; 0 on failure.
double getParam(std::uint32_t handle, Steinberg::Vst::ParamID id);

// Gives the value, clamped to 0..1, to the controller (setParamNormalized)
// and, once the controller accepted it, queues it for the processor at the
// next block. The controller's result; kResultFalse for a value that is not
// a number and on failure.
Steinberg::tresult setParam(std::uint32_t handle, Steinberg::Vst::ParamID id, float value);

} // namespace talven
