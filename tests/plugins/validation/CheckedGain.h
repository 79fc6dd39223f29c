// Gains for talven-validate's tests: a stereo gain (out = in * 2 * "Gain",
// ramped within a block when the gain changes) with a stepped "Mode" that
// swaps or inverts channels, a read-only "Meter", and full state. One
// variant behaves; most others break one rule on purpose, so that the
// validator fails or flags exactly what it should on them.
#pragma once

#include "TestPluginFactory.h"

#include "pluginterfaces/base/ftypes.h"

namespace talven::testplugin {

enum class GainFlaw {
    None,
    NanOnSingleFrames,   // the gain ramp divides by numSamples - 1: a 1-frame block comes out NaN
    StateForgetsGain,    // setState restores the mode but not the gain
    CoarseGainReadBack,  // the controller keeps "Gain" in tenths, so values do not read back
    AbortOn4095Frames,   // a 4095-frame block aborts the process: the check that met it fails as crashed
    ProcessAlwaysFails,  // process answers kResultFalse for every block with samples
    IgnoresParameters,   // the output equals the input whatever the parameters say
    LatencyPlaysDry,     // reports kCheckedLatency frames of latency, yet its output equals its input
    DelaysByLatency,     // no flaw: reports kCheckedLatency frames and delays the gained signal by them
    ViewRefusesPlatform, // offers an editor view that supports no platform type
    ViewAttachFails,     // offers an editor view whose attached answers kResultFalse
    FaultsOnCommand,     // a stepped "Fault" parameter makes it fail as a plug-in's process ends (CheckedFault)
};

// The faults of GainFlaw::FaultsOnCommand, the steps of its "Fault" parameter:
// in process, the block that carries the change; in setActive, the next switch.
enum class CheckedFault { None, Crash, Abort, HangInProcess, Exit, HangInSetActive };
constexpr Steinberg::uint32 kCheckedFaultId = 3;
constexpr int kCheckedFaultSteps = 5;

// Parameter ids.
constexpr Steinberg::uint32 kCheckedGainId = 0;
constexpr Steinberg::uint32 kCheckedModeId = 1;  // 4 steps: as is, swapped, inverted, swapped and inverted
constexpr Steinberg::uint32 kCheckedMeterId = 2; // read-only
constexpr double kCheckedDefaultGain = 0.4;
constexpr Steinberg::uint32 kCheckedLatency = 64;

// The module's two classes with flaw; uidTag keeps the modules' class ids
// apart. Call once per module.
const TestFactoryDescription& checkedGainDescription(GainFlaw flaw, Steinberg::uint32 uidTag, const char* name);

} // namespace talven::testplugin
