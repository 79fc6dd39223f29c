#include "events/RawMidi.h"

namespace talven {
namespace {

// Data bytes that follow a status byte.
std::uint32_t dataBytesOf(std::uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0: return 1;
    case 0xF0:
        switch (status) {
        case 0xF1:
        case 0xF3: return 1;
        case 0xF2: return 2;
        default: return 0;
        }
    default: return 2;
    }
}

} // namespace

std::vector<MidiMessage> splitRawMidi(const std::uint8_t* bytes, std::uint32_t length)
{
    std::vector<MidiMessage> messages;
    std::uint8_t running = 0;
    std::uint32_t i = 0;
    while (i < length) {
        const std::uint8_t byte = bytes[i];
        if (byte >= 0xF8) { // real-time: no effect on running status
            ++i;
            continue;
        }
        if (byte == 0xF0) {
            running = 0;
            std::uint32_t end = i + 1;
            while (end < length && bytes[end] < 0x80)
                ++end;
            if (end < length && bytes[end] == 0xF7) {
                MidiMessage message;
                message.status = 0xF0;
                message.bytes = bytes + i;
                message.size = end - i + 1;
                messages.push_back(message);
                ++end;
            }
            i = end;
            continue;
        }
        std::uint8_t status = running;
        if (byte >= 0x80) {
            status = byte;
            ++i;
            if (status >= 0xF0) { // system common: skipped with its data
                running = 0;
                for (std::uint32_t n = dataBytesOf(status); n > 0 && i < length && bytes[i] < 0x80; --n)
                    ++i;
                continue;
            }
            running = status;
        } else if (status == 0) {
            ++i; // a data byte with no status to belong to
            continue;
        }
        const std::uint32_t needed = dataBytesOf(status);
        std::uint8_t data[2] = {0, 0};
        std::uint32_t got = 0;
        while (got < needed && i < length && (bytes[i] < 0x80 || bytes[i] >= 0xF8)) {
            if (bytes[i] < 0x80)
                data[got++] = bytes[i];
            ++i;
        }
        if (got < needed)
            continue; // cut short by a status byte or the end
        MidiMessage message;
        message.status = status;
        message.data1 = data[0];
        message.data2 = data[1];
        messages.push_back(message);
    }
    return messages;
}

} // namespace talven
