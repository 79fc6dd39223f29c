#pragma once

#include "events/MidiMapping.h"
#include "events/MidiMessage.h"

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <array>
#include <cstdint>

namespace talven {

// Turns MIDI messages into what a VST 3 processor takes: note on and off,
// polyphonic pressure and system exclusive as events; controllers, channel
// pressure and pitch bend as parameter changes through the plug-in's MIDI
// mapping; a program change through its program-change parameter. Messages
// with nowhere to go are dropped. Keeps which notes sound on each channel, so
// that All Sound Off and All Notes Off (CC 120, 123) end them when the
// plug-in maps neither. Audio thread; never allocates.
class MidiTranslator {
public:
    explicit MidiTranslator(const MidiMapping& mapping) : mapping_(mapping) {}

    // One message at sampleOffset of the coming process call.
    void translate(const MidiMessage& message, Steinberg::int32 sampleOffset, Steinberg::Vst::IEventList& events,
                   Steinberg::Vst::IParameterChanges& changes);

private:
    void endSoundingNotes(int channel, Steinberg::int32 sampleOffset, Steinberg::Vst::IEventList& events);
    void changeParameter(Steinberg::Vst::ParamID id, double value, Steinberg::int32 sampleOffset,
                         Steinberg::Vst::IParameterChanges& changes);
    bool sounding(int channel, int pitch) const;
    void setSounding(int channel, int pitch, bool on);

    const MidiMapping& mapping_;
    // One bit per channel and pitch.
    std::array<std::uint64_t, MidiMapping::kChannels * 2> sounding_{};
};

} // namespace talven
