// Pulls blocks of a decoding channel and tells whether each came out equal
// to the signal that went in.
#pragma once

#include <cstdint>
#include <vector>

namespace talven::validate {

class Channel;

class Listener {
public:
    explicit Listener(Channel& channel) : channel_(channel) {}

    // Pulls frames frames; unchanged tells whether they equal their input
    // byte for byte. False when BASS delivered less than asked. The thread
    // that pulls the channel.
    bool pull(std::uint32_t frames, bool& unchanged);

private:
    Channel& channel_;
    std::vector<float> block_;
    std::vector<float> input_;
};

} // namespace talven::validate
