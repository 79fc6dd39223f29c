#pragma once

#include "events/MidiMapping.h"
#include "events/MidiMessage.h"

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <array>
#include <utility>
#include <vector>
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
    // changeRoom: how many parameter changes of one process call are kept
    // for forEachChange (0: none). May throw std::bad_alloc.
    explicit MidiTranslator(const MidiMapping& mapping, std::size_t changeRoom = 0) : mapping_(mapping)
    {
        changes_.reserve(changeRoom);
    }

    // One message at sampleOffset of the coming process call.
    void translate(const MidiMessage& message, Steinberg::int32 sampleOffset, Steinberg::Vst::IEventList& events,
                   Steinberg::Vst::IParameterChanges& changes);

    // The parameter changes the messages since clearChanges() made, in order
    // (an id may repeat), so that the controller hears them as well as the
    // processor. Audio thread; never allocates.
    template <typename Visit>
    void forEachChange(Visit&& visit) const
    {
        for (const auto& [id, value] : changes_)
            visit(id, value);
    }
    void clearChanges() { changes_.clear(); }

private:
    void endSoundingNotes(int channel, Steinberg::int32 sampleOffset, Steinberg::Vst::IEventList& events);
    void changeParameter(Steinberg::Vst::ParamID id, double value, Steinberg::int32 sampleOffset,
                         Steinberg::Vst::IParameterChanges& changes);
    bool sounding(int channel, int pitch) const;
    void setSounding(int channel, int pitch, bool on);

    const MidiMapping& mapping_;
    // One bit per channel and pitch.
    std::array<std::uint64_t, MidiMapping::kChannels * 2> sounding_{};
    std::vector<std::pair<Steinberg::Vst::ParamID, double>> changes_; // within its reserved room
};

} // namespace talven
