#include "Player.h"

namespace talven::validate {

std::vector<TALVEN_MIDI_EVENT> heldChord()
{
    std::vector<TALVEN_MIDI_EVENT> chord;
    for (const std::uint8_t pitch : {60, 64, 67}) {
        TALVEN_MIDI_EVENT note{};
        note.status = 0x90;
        note.data1 = pitch;
        note.data2 = 100;
        chord.push_back(note);
    }
    return chord;
}

Player::Player(std::uint64_t seed, const std::string& plugin, bool instrument)
{
    HSTREAM played = 0;
    if (instrument) {
        stream_ = std::make_unique<InstrumentStream>(plugin, 2, 44100, true);
        if (stream_->ok())
            stream_->send(heldChord());
        played = stream_->stream();
    } else {
        channel_ = std::make_unique<Channel>(seed, 2, 44100, true);
        instance_ = std::make_unique<Instance>(channel_->handle(), plugin);
        played = channel_->handle();
    }
    monitor_ = std::make_unique<BlockMonitor>(played);
}

Player::~Player()
{
    release();
}

bool Player::ok() const
{
    const bool plugin = stream_ ? stream_->ok() : channel_->ok() && instance_->ok();
    return plugin && monitor_->ok();
}

std::uint32_t Player::handle() const
{
    return stream_ ? stream_->handle() : instance_->handle();
}

void Player::release()
{
    if (stream_) {
        // The monitor first: its DSP would go with the stream.
        monitor_->remove();
        stream_->free();
    } else {
        instance_->detach();
        monitor_->remove();
    }
}

} // namespace talven::validate
