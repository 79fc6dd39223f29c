#include "instance/MidiCalls.h"

#include "events/RawMidi.h"
#include "instance/InstanceHold.h"

#include <vector>

namespace talven {
namespace {

bool wellFormed(const TALVEN_MIDI_EVENT& event)
{
    if (event.status == 0xF0)
        return event.data && event.size >= 2 && event.data[0] == 0xF0 && event.data[event.size - 1] == 0xF7;
    return event.status >= 0x80 && event.status < 0xF0 && event.data1 < 0x80 && event.data2 < 0x80;
}

std::int32_t sendStructs(MidiQueue& queue, const TALVEN_MIDI_EVENT* events, std::uint32_t count, bool timed)
{
    std::vector<MidiMessage> messages(count);
    std::vector<std::uint64_t> frames(timed ? count : 0);
    for (std::uint32_t i = 0; i < count; ++i) {
        const TALVEN_MIDI_EVENT& event = events[i];
        if (!wellFormed(event))
            return -1;
        MidiMessage& message = messages[i];
        message.status = event.status;
        message.data1 = event.data1;
        message.data2 = event.data2;
        if (event.status == 0xF0) {
            message.bytes = event.data;
            message.size = event.size;
        }
        if (timed)
            frames[i] = event.frame;
    }
    return queue.send(messages.data(), static_cast<std::int32_t>(count), timed ? frames.data() : nullptr);
}

} // namespace

std::int32_t sendEventsTo(std::uint32_t handle, std::uint32_t mode, const void* events, std::uint32_t length)
{
    const bool timed = (mode & TALVEN_EVENTS_TIME) != 0;
    const std::uint32_t form = mode & ~static_cast<std::uint32_t>(TALVEN_EVENTS_TIME);
    if (form != TALVEN_EVENTS_RAW && form != TALVEN_EVENTS_STRUCT)
        return -1;
    if (form == TALVEN_EVENTS_RAW && timed)
        return -1;
    if (!events && length > 0)
        return -1;
    if (form == TALVEN_EVENTS_STRUCT && length > 0x7FFFFFFF)
        return -1;
    InstanceHold hold(handle);
    PluginInstance* record = hold.get();
    if (!record)
        return -1;
    MidiInput* const midi = record->midi.load(std::memory_order_acquire);
    if (!midi)
        return -1;
    if (length == 0)
        return 0;
    if (form == TALVEN_EVENTS_STRUCT)
        return sendStructs(midi->queue(), static_cast<const TALVEN_MIDI_EVENT*>(events), length, timed);
    const std::vector<MidiMessage> messages = splitRawMidi(static_cast<const std::uint8_t*>(events), length);
    if (messages.empty())
        return 0;
    return midi->queue().send(messages.data(), static_cast<std::int32_t>(messages.size()), nullptr);
}

} // namespace talven
