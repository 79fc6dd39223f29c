#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/vstspeaker.h"

namespace talven {

// The speaker arrangement asked of a plug-in's main buses for a BASS channel
// of `channels` channels, in BASS's (and WAVE's) channel order: mono, stereo,
// L R C, quadraphonic L R Ls Rs, 5.0, 5.1, 6.1 (L R C Lfe Ls Rs Cs) and 7.1
// with rear and side pairs (L R C Lfe Ls Rs Sl Sr). kEmpty for any other
// count: the plug-in then keeps its own layout.
Steinberg::Vst::SpeakerArrangement channelArrangement(Steinberg::int32 channels);

// What the plug-in's buses came to after the negotiation.
enum class BusFit {
    // The main output bus has channels (or, with no output bus at all, the
    // main input has: an analyser, which hears the channel and writes
    // nothing back).
    usable,
    // No audio bus at all, or a main bus left with no channels: nothing the
    // channel could be processed with.
    unusable,
};

// Settles the plug-in's audio buses for a channel of `channels` channels,
// the VST 3 way, while its component is inactive: asks setBusArrangements
// for the channel's layout on both main buses (auxiliary buses keep the
// arrangement the plug-in gives them), reads back what it took (a refusal
// leaves the plug-in's own layout, which the blocks then adapt to), then
// activates the main input and output buses. Auxiliary and event buses stay
// inactive. Used when processing is prepared and again after the plug-in
// changed its buses (kIoChanged, kReloadComponent). Caller's thread, control
// lock held, component inactive. May throw std::bad_alloc.
BusFit setUpBuses(Steinberg::Vst::IComponent& component, Steinberg::Vst::IAudioProcessor& processor,
                  Steinberg::int32 channels);

// The plug-in's first auxiliary audio input bus (a side-chain input), or -1.
// Any thread the component may be asked on.
Steinberg::int32 firstAuxInputBus(Steinberg::Vst::IComponent& component);

// Deactivates the main buses again, after the component was made inactive
// for good (VST 3 lets buses change only while inactive). Same threads.
void releaseBuses(Steinberg::Vst::IComponent& component);

} // namespace talven
