// A Standard MIDI File as timed events for TALVEN_StreamEvents, read with
// libsmf (every track merged, tempo changes honoured), which the Windows
// build lacks (there it reports that it reads no MIDI files).
#pragma once

#include "talven.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talven::apply {

struct MidiSong {
    // In time order; system exclusive bytes point into sysex.
    std::vector<TALVEN_MIDI_EVENT> events;
    std::vector<std::vector<std::uint8_t>> sysex;
    // The frame of the last event (0 for none).
    std::uint64_t lastFrame = 0;
};

// The channel messages and system exclusive of the file at path, their
// frames at rate; meta events are left out. False with a reason in error.
bool readMidiSong(const std::string& path, std::uint32_t rate, MidiSong& song, std::string& error);

// Hands a song's events to a plug-in as the stream advances: each call sends
// those due before the given frame plus some look-ahead, as many as its
// queue takes; the rest wait for the next call.
class MidiFeeder {
public:
    MidiFeeder(const MidiSong& song, std::uint32_t handle) : song_(song), handle_(handle) {}
    // False when the plug-in refused the events (no event input).
    bool feedUntil(std::uint64_t frame);

private:
    const MidiSong& song_;
    std::uint32_t handle_;
    std::size_t next_ = 0;
};

} // namespace talven::apply
