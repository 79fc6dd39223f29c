// Probe plug-ins: a gain (out = in * 2 * gain, parameter "Gain", id 0,
// default 0.25) in the bus shape each test needs, counting what the host
// does to it without allocating on the audio path (ProbeExports.h).
#pragma once

#include "ProbeExports.h"
#include "TestPluginFactory.h"

#include "pluginterfaces/vst/vsttypes.h"

namespace talven::testplugin {

struct ProbeShape {
    Steinberg::int32 inputChannels = 2;  // main input bus; 0: no input bus
    Steinberg::int32 outputChannels = 2; // main output bus; 0: no output bus
    bool auxBuses = false;               // a stereo side-chain input and a stereo second output
    bool leftOnly = false;               // writes output channel 0 only
    bool only64 = false;                 // takes 64-bit samples and refuses 32-bit
    Steinberg::int32 auxInputChannels = 2; // channels of the side-chain input
    // Output channel c is side-chain channel c as it came (silence past its
    // channels), so that tests read the side-chain from the output.
    bool auxListen = false;
};

constexpr Steinberg::Vst::ParamID kProbeGainId = TALVEN_PROBE_GAIN_ID;
constexpr double kProbeDefaultGain = TALVEN_PROBE_DEFAULT_GAIN;

// The module's two classes (processor, controller) for shape; uidTag keeps
// the class ids of different probe modules apart. Call once per module.
const TestFactoryDescription& probeDescription(const ProbeShape& shape, Steinberg::uint32 uidTag, const char* name);

} // namespace talven::testplugin
