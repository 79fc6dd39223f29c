#pragma once

#include "registry/PluginInstance.h"

#include <cstdint>

namespace talven {

// The longest block the plug-in is told about and ever given in one call;
// longer BASS blocks are processed in pieces of at most this many frames.
inline constexpr std::int32_t kMaxBlockFrames = 4096;

// At attach, after the open step and before the DSP is registered, on the
// caller's thread: reads the channel's sample rate, makes the process data
// and the block's planar copy, and switches processing on. When the plug-in
// refuses, processing stays off and every block passes through dry.
void prepareProcessing(PluginInstance& instance, std::uint32_t channel);

// Announces the set-up (realtime, the sample size the processor takes,
// blockSize, sampleRate), activates the component and starts processing.
// True when processing is on afterwards. Caller's thread, at attach, with
// the control lock held and no block possible yet.
bool updateProcessSetup(PluginInstance& instance);

// Stops processing and deactivates the component, in that order, as VST 3
// requires before the plug-in is terminated. Results are not looked at.
// Caller's thread (the detach, or the destruction after the channel was
// freed); instance lock held when other threads may still reach the record.
void switchOffProcessing(Steinberg::Vst::PlugProvider& provider);

} // namespace talven
