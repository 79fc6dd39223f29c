// The BASS side of a check: the engine session and channels that play the
// test signal, as a program using BASS would make them.
#pragma once

#include "Signal.h"

#include "bass.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace talven::validate {

// BASS_Init(0): no output device; playing channels are still rendered on
// the engine's mixing thread.
class BassSession {
public:
    BassSession();
    ~BassSession();
    BassSession(const BassSession&) = delete;
    BassSession& operator=(const BassSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

// A float stream of the signal of seed. Decoding channels are pulled by the
// check with pull(); playing ones are rendered on BASS's mixing thread.
// Freed when destroyed unless freed before.
class Channel {
public:
    Channel(std::uint64_t seed, std::uint32_t channels, std::uint32_t rate, bool playing);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    bool ok() const { return handle_ != 0; }
    HSTREAM handle() const { return handle_; }
    std::uint32_t channels() const { return source_->channels; }
    std::uint32_t rate() const { return rate_; }
    SignalSource& source() { return *source_; }

    // Frees the stream, through Talven's TALVEN_ChannelFree or BASS's own
    // BASS_StreamFree. True when BASS freed it. Any thread.
    bool free(bool throughTalven);

    // Pulls frames frames of a decoding channel into block (resized to
    // fit). False when BASS did not deliver them all.
    bool pull(std::uint32_t frames, std::vector<float>& block);

private:
    std::unique_ptr<SignalSource> source_; // outlives the stream, which calls it
    std::uint32_t rate_;
    HSTREAM handle_ = 0;
};

} // namespace talven::validate
