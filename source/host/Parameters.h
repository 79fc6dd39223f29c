#pragma once

#include "host/HostedPlugin.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstdint>

namespace talven {

// The plug-in's parameters through its edit controller. They take no lock of
// the library's and run concurrently with audio processing; a counted
// controller reference keeps the plug-in alive against a detach on another
// thread. A plug-in taken away by a detach, or without an edit controller,
// is not reached and gives the failure value noted on each. Caller's thread.

// The controller's getParameterCount; 0 on failure.
std::int32_t getParamCount(const HostedPlugin& plugin);

// The controller's getParameterInfo into info; kResultFalse for an index
// outside 0..count-1 (the plug-in is not asked) and on failure.
Steinberg::tresult getParamInfo(const HostedPlugin& plugin, std::int32_t index, Steinberg::Vst::ParameterInfo& info);

// The controller's getParamNormalized, unnarrowed; 0 on failure.
double getParam(const HostedPlugin& plugin, Steinberg::Vst::ParamID id);

// Gives the value, clamped to 0..1, to the controller (setParamNormalized)
// and, once the controller accepted it, queues it for the processor at the
// next block. The controller's result; kResultFalse for a value that is not
// a number and on failure.
Steinberg::tresult setParam(HostedPlugin& plugin, Steinberg::Vst::ParamID id, float value);

} // namespace talven
