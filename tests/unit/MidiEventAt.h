// A timed MIDI event for TALVEN_StreamEvents, as the instrument tests write them.
#pragma once

#include "talven.h"

#include <cstdint>

namespace talven::test {

inline TALVEN_MIDI_EVENT midiAt(std::uint64_t frame, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    TALVEN_MIDI_EVENT event{};
    event.frame = frame;
    event.status = status;
    event.data1 = data1;
    event.data2 = data2;
    return event;
}

} // namespace talven::test
