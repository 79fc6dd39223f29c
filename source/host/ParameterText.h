#pragma once

#include "host/HostedPlugin.h"

#include "pluginterfaces/vst/vsttypes.h"

#include <cstddef>
#include <cstdint>

namespace talven {

// A parameter's value as the plug-in itself shows it ("-12.0 dB", "Fast"),
// from its controller's own conversion, as UTF-8 into text (capacity bytes,
// always zero-terminated, cut at a character boundary when too long). value
// is normalized; below 0 it means the parameter's current value. False for
// a detached plug-in, a value above 1 or not a number, or when the plug-in
// gives no text. Caller's thread, no lock.
bool getParamText(const HostedPlugin& plugin, Steinberg::Vst::ParamID id, double value, char* text,
                  std::size_t capacity);

// The normalized value the plug-in reads out of its own text for a
// parameter. False for a detached plug-in, text that is not UTF-8 or longer
// than 127 UTF-16 units, or when the plug-in cannot read it. Caller's
// thread, no lock.
bool getParamValueFromText(const HostedPlugin& plugin, Steinberg::Vst::ParamID id, const char* text,
                           double& value);

} // namespace talven
