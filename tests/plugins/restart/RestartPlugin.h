// The RestartEffect plug-in's two classes (RestartExports.h says what it
// does), made by its factory.
#pragma once

#include "RestartExports.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/vsttypes.h"

namespace talven::testplugin::restart {

constexpr Steinberg::Vst::ParamID kGainId = TALVEN_RESTART_GAIN_ID;
constexpr Steinberg::Vst::ParamID kPeakId = TALVEN_RESTART_PEAK_ID;
constexpr Steinberg::Vst::ParamID kLevelId = TALVEN_RESTART_LEVEL_ID;
constexpr double kDefaultGain = TALVEN_RESTART_DEFAULT_GAIN;

// Each answers a new object holding one reference.
Steinberg::FUnknown* createProcessor(const Steinberg::FUID& controllerUid);
Steinberg::FUnknown* createController();

} // namespace talven::testplugin::restart
