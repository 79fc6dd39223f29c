// The plug-in on a playing channel, as the parameters and editor checks use
// it: an effect attached to a stream of the test signal, or an instrument's
// own stream with a chord held; either way with a block monitor behind it.
#pragma once

#include "BlockMonitor.h"
#include "Channel.h"
#include "Instance.h"
#include "InstrumentStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace talven::validate {

class Player {
public:
    Player(std::uint64_t seed, const std::string& plugin, bool instrument);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool ok() const;
    std::uint32_t handle() const;
    BlockMonitor& monitor() { return *monitor_; }

    // Lets the plug-in go (an instrument with its stream) and removes the
    // monitor, before a census.
    void release();

private:
    std::unique_ptr<Channel> channel_;
    std::unique_ptr<Instance> instance_;
    std::unique_ptr<InstrumentStream> stream_;
    std::unique_ptr<BlockMonitor> monitor_;
};

// A few notes held, for an instrument to play while a check runs.
std::vector<TALVEN_MIDI_EVENT> heldChord();

} // namespace talven::validate
