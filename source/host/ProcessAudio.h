#pragma once

#include "registry/PluginInstance.h"

#include <cstdint>

namespace talven {

// Passes one interleaved block of 32-bit float samples (channels x frames)
// through the plug-in, in place: de-interleaves it, hands the edits queued
// since the last block to the processor, processes it in pieces of at most
// blockSize frames and interleaves the result back. False when nothing was
// written: no plug-in, processing off, or a failed process call; the block
// is then exactly as it was. A plug-in without a main output is still given
// the block and leaves it as it was.
// Audio thread (BASS's DSP thread); takes the instance lock.
bool processAudio(float* block, std::int32_t channels, std::int32_t frames, PluginInstance& instance) noexcept;

// Hands the edits queued for the processor to it now, in a process call of
// no samples (VST 3's parameter flush), instead of with the next block: for a
// store, so that the state written holds what the caller set last. Only for
// a plug-in that is processing and not bypassed; false when it is not or the
// call failed (the edits then wait for the next block, as after a failed
// block). Caller's thread with the control lock held; waits for a block in
// progress.
bool deliverQueuedEdits(PluginInstance& instance) noexcept;

} // namespace talven
