#include "events/MidiTranslator.h"

#include <algorithm>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

Event eventAt(int32 sampleOffset, uint16 type)
{
    Event e{};
    e.busIndex = 0;
    e.sampleOffset = sampleOffset;
    e.flags = Event::kIsLive;
    e.type = type;
    return e;
}

} // namespace

bool MidiTranslator::sounding(int channel, int pitch) const
{
    return (sounding_[static_cast<std::size_t>(channel * 2 + pitch / 64)] >> (pitch % 64) & 1u) != 0;
}

void MidiTranslator::setSounding(int channel, int pitch, bool on)
{
    std::uint64_t& word = sounding_[static_cast<std::size_t>(channel * 2 + pitch / 64)];
    const std::uint64_t bit = std::uint64_t{1} << (pitch % 64);
    word = on ? word | bit : word & ~bit;
}

void MidiTranslator::endSoundingNotes(int channel, int32 sampleOffset, IEventList& events)
{
    for (int pitch = 0; pitch < 128; ++pitch) {
        if (!sounding(channel, pitch))
            continue;
        Event e = eventAt(sampleOffset, Event::kNoteOffEvent);
        e.noteOff = NoteOffEvent{static_cast<int16>(channel), static_cast<int16>(pitch), 0.f, -1, 0.f};
        events.addEvent(e);
        setSounding(channel, pitch, false);
    }
}

void MidiTranslator::changeParameter(ParamID id, double value, int32 sampleOffset, IParameterChanges& changes)
{
    int32 index = 0;
    IParamValueQueue* queue = changes.addParameterData(id, index);
    if (!queue)
        return;
    const double clamped = std::clamp(value, 0.0, 1.0);
    queue->addPoint(sampleOffset, clamped, index);
    if (changes_.size() < changes_.capacity())
        changes_.emplace_back(id, clamped);
}

void MidiTranslator::translate(const MidiMessage& message, int32 sampleOffset, IEventList& events,
                               IParameterChanges& changes)
{
    const int kind = message.status & 0xF0;
    const int channel = message.status & 0x0F;
    const int data1 = message.data1 & 0x7F;
    const int data2 = message.data2 & 0x7F;
    switch (kind) {
    case 0x90:
        if (data2 > 0) {
            Event e = eventAt(sampleOffset, Event::kNoteOnEvent);
            e.noteOn = NoteOnEvent{static_cast<int16>(channel), static_cast<int16>(data1), 0.f,
                                   static_cast<float>(data2) / 127.f, 0, -1};
            if (events.addEvent(e) == kResultOk)
                setSounding(channel, data1, true);
            return;
        }
        [[fallthrough]]; // velocity 0: a note off
    case 0x80: {
        Event e = eventAt(sampleOffset, Event::kNoteOffEvent);
        e.noteOff = NoteOffEvent{static_cast<int16>(channel), static_cast<int16>(data1),
                                 static_cast<float>(kind == 0x80 ? data2 : 0) / 127.f, -1, 0.f};
        events.addEvent(e);
        setSounding(channel, data1, false);
        return;
    }
    case 0xA0: {
        Event e = eventAt(sampleOffset, Event::kPolyPressureEvent);
        e.polyPressure = PolyPressureEvent{static_cast<int16>(channel), static_cast<int16>(data1),
                                           static_cast<float>(data2) / 127.f, -1};
        events.addEvent(e);
        return;
    }
    case 0xB0: {
        const ParamID id = mapping_.controller(channel, data1);
        if (id != MidiMapping::kNone)
            changeParameter(id, data2 / 127.0, sampleOffset, changes);
        else if (data1 == kAllSoundOff || data1 == kAllNotesOff)
            endSoundingNotes(channel, sampleOffset, events);
        return;
    }
    case 0xC0: {
        const ParamID id = mapping_.programParameter();
        if (id == MidiMapping::kNone)
            return;
        const int32 steps = mapping_.programSteps();
        changeParameter(id, steps > 0 ? std::min(data1, static_cast<int>(steps)) / static_cast<double>(steps)
                                      : data1 / 127.0,
                        sampleOffset, changes);
        return;
    }
    case 0xD0: {
        const ParamID id = mapping_.controller(channel, kAfterTouch);
        if (id != MidiMapping::kNone)
            changeParameter(id, data1 / 127.0, sampleOffset, changes);
        return;
    }
    case 0xE0: {
        const ParamID id = mapping_.controller(channel, kPitchBend);
        if (id != MidiMapping::kNone)
            changeParameter(id, ((data2 << 7) | data1) / 16383.0, sampleOffset, changes);
        return;
    }
    case 0xF0: {
        if (message.status != 0xF0 || !message.bytes || message.size == 0)
            return;
        Event e = eventAt(sampleOffset, Event::kDataEvent);
        e.data = DataEvent{message.size, DataEvent::kMidiSysEx, message.bytes};
        events.addEvent(e);
        return;
    }
    default:
        return;
    }
}

} // namespace talven
