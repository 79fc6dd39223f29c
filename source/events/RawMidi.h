#pragma once

#include "events/MidiMessage.h"

#include <cstdint>
#include <vector>

namespace talven {

// Splits raw MIDI 1.0 bytes into messages: channel messages with running
// status, and system exclusive runs F0 ... F7 (pointing into bytes). Real-time
// bytes, system common messages with their data, stray data bytes and an
// unfinished system exclusive are skipped; a system message cancels running
// status. Caller's thread; may throw std::bad_alloc.
std::vector<MidiMessage> splitRawMidi(const std::uint8_t* bytes, std::uint32_t length);

} // namespace talven
