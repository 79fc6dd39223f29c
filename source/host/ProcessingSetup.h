#pragma once

#include "host/HostedPlugin.h"

#include <cstdint>

namespace talven {

// Announces the processing set-up to the plug-in (realtime, sampleSize,
// maxFrames per call, sampleRate), activates the component and starts
// processing; writes "updateProcessSetup setProcessing(true)" before the
// last step. True when processing is on afterwards; when the plug-in refuses
// a step, it stays off and blocks pass dry. Caller's thread with the control
// lock held, no block possible yet.
bool startProcessing(HostedPlugin& plugin, double sampleRate, std::int32_t maxFrames, std::int32_t sampleSize);

// Stops processing and deactivates the component, in that order, as VST 3
// requires before the plug-in is terminated; only for an active component
// (clears plugin.active). Then deactivates the main buses, when they were
// activated (clears plugin.busesActive). Results are not looked at.
// Caller's thread, with the control lock held and no block in progress or to
// come.
void switchOffProcessing(HostedPlugin& plugin, Steinberg::Vst::PlugProvider& provider);

} // namespace talven
