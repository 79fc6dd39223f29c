#pragma once

#include "events/MidiMapping.h"
#include "events/MidiQueue.h"
#include "events/MidiTranslator.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <cstdint>

namespace Steinberg::Vst {
class EventList;
}

namespace talven {

// The event input of one plug-in: the queue any thread sends to, the
// translation into VST 3 events and parameter changes, and the event list of
// the process call in progress. Made once per instance, off the audio thread,
// when its plug-in turns out to have an event input, and kept until the
// instance goes.
class MidiInput {
public:
    // Events of one process call at most (besides the note offs an All Notes
    // Off adds).
    static constexpr std::int32_t kEventsPerCall = 4096;

    // May throw std::bad_alloc.
    MidiInput();
    ~MidiInput();
    MidiInput(const MidiInput&) = delete;
    MidiInput& operator=(const MidiInput&) = delete;

    MidiQueue& queue() { return queue_; }
    // Off the audio thread, with no block in progress.
    MidiMapping& mapping() { return mapping_; }

    // ---- audio thread
    // How much of the count frames from stream frame first one process
    // call takes: up to the first event due inside them, so that every
    // event starts a call of its own and takes effect at exactly its frame,
    // also in a plug-in that applies a call's events at its start.
    Steinberg::int32 pieceLength(std::uint64_t first, Steinberg::int32 count);
    // Fills the event list and changes with what is due in frames
    // [first, first + count) of the stream, each at its offset in the piece
    // (a frame already past at offset 0).
    void deliver(std::uint64_t first, Steinberg::int32 count, Steinberg::Vst::IParameterChanges& changes);
    // After the process call, before finishCall: the parameter changes that
    // controllers, pressure, pitch bend and program changes made for it.
    template <typename Visit>
    void forEachParameterChange(Visit&& visit) const
    {
        translator_.forEachChange(visit);
    }
    // After the process call: empties the event list and gives back the
    // system exclusive bytes it pointed to.
    void finishCall();
    Steinberg::Vst::IEventList* events();
    // Drops every event sent so far: a bypassed plug-in hears none of them.
    void discard() { queue_.discard(); }

private:
    MidiQueue queue_;
    MidiMapping mapping_;
    MidiTranslator translator_;
    Steinberg::IPtr<Steinberg::Vst::EventList> events_;
};

} // namespace talven
