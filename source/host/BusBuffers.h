#pragma once

#include "host/ChannelBuffers.h"
#include "sdk/HostProcessData.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

namespace talven {

// Moving one block between its planar copy and the plug-in's audio buses.
// No speaker arrangement is negotiated, so each bus has the channel count the
// plug-in reports for it: the first channels of input bus 0 and output bus 0
// carry the block's first channels, every other bus channel carries silence,
// and BASS channels beyond the plug-in's output keep their dry samples.
// All of it runs on the audio thread under the instance lock.

// kSample64 only for a processor that takes 64-bit and refuses 32-bit.
Steinberg::int32 chooseSampleSize(Steinberg::Vst::IAudioProcessor& processor);

// Lays the buses out from the component's own counts, with buffers of
// maxFrames samples; keeps them (allocating nothing) while the plug-in's bus
// layout and the sample size stay as they were.
bool prepareBusBuffers(Steinberg::Vst::HostProcessData& data, Steinberg::Vst::IComponent& component,
                       Steinberg::int32 maxFrames, Steinberg::int32 sampleSize);

// Fills every bus for frames [first, first + count) of the block: input bus 0
// from the dry inputs, output bus 0 from the outputs (still dry, so channels
// the plug-in leaves alone pass through), the rest with silence.
void loadBuses(Steinberg::Vst::ProcessData& data, const ChannelBuffers& block, Steinberg::int32 first,
               Steinberg::int32 count);

// True when output bus 0 has channels to read back.
bool hasMainOutput(const Steinberg::Vst::ProcessData& data);

// Copies output bus 0 into the block's outputs for frames [first, first +
// count), for the channels both have.
void storeMainOutput(const Steinberg::Vst::ProcessData& data, ChannelBuffers& block, Steinberg::int32 first,
                     Steinberg::int32 count);

} // namespace talven
