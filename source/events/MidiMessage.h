#pragma once

#include <cstdint>

namespace talven {

// One MIDI 1.0 message: a channel message (status 0x80..0xEF with its data
// bytes) or a system exclusive one (status 0xF0, its bytes F0 ... F7 at
// bytes, not owned).
struct MidiMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
};

} // namespace talven
