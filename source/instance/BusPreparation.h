#pragma once

#include "instance/PluginInstance.h"

#include "pluginterfaces/vst/ivstcomponent.h"

namespace talven {

enum class Preparation {
    ready,    // buses settled and activated, blocks prepared for them
    unusable, // the plug-in's buses offer nothing to process the channel with
    refused,  // no audio processor, or the blocks could not be made
};

// The buses negotiated and activated for the instance's channel (setUpBuses),
// the first auxiliary input bus activated while a side-chain is set (and
// deactivated once it is removed),
// then the block processor prepared for the layout the plug-in took. The one
// place this happens: when the attach prepares processing and when a restart
// follows new buses. Caller's thread, control lock held, component inactive,
// no block in progress (before the DSP is set, or while blocks pass dry).
// May throw std::bad_alloc.
Preparation prepareBusesAndBlocks(PluginInstance& instance, Steinberg::Vst::IComponent& component);

} // namespace talven
