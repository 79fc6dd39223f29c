#include "MidiSong.h"

#include <smf.h>

#include <cmath>
#include <memory>

namespace talven::apply {
namespace {

struct SmfDeleter {
    void operator()(smf_t* smf) const { smf_delete(smf); }
};

} // namespace

bool readMidiSong(const std::string& path, std::uint32_t rate, MidiSong& song, std::string& error)
{
    const std::unique_ptr<smf_t, SmfDeleter> smf(smf_load(path.c_str()));
    if (!smf) {
        error = "cannot read " + path + ": not a Standard MIDI File";
        return false;
    }
    song = MidiSong{};
    // Sorted by time across the tracks; the times come from the tempo map.
    while (smf_event_t* event = smf_get_next_event(smf.get())) {
        if (smf_event_is_metadata(event) || event->midi_buffer_length < 1)
            continue;
        const unsigned char* bytes = event->midi_buffer;
        const auto length = static_cast<std::size_t>(event->midi_buffer_length);
        TALVEN_MIDI_EVENT out{};
        out.frame = static_cast<std::uint64_t>(std::llround(std::max(event->time_seconds, 0.0) * rate));
        out.status = bytes[0];
        if (bytes[0] == 0xF0) {
            // Kept whole, framed by F0 ... F7.
            std::vector<std::uint8_t> sysex(bytes, bytes + length);
            if (sysex.back() != 0xF7)
                sysex.push_back(0xF7);
            song.sysex.push_back(std::move(sysex));
        } else if (bytes[0] < 0x80 || bytes[0] > 0xEF) {
            continue; // system common and real-time messages have no place in a song
        } else {
            out.data1 = length > 1 ? bytes[1] & 0x7F : 0;
            out.data2 = length > 2 ? bytes[2] & 0x7F : 0;
        }
        song.events.push_back(out);
        song.lastFrame = out.frame;
    }
    // The system exclusive buffers moved while the list grew: pointed to now.
    std::size_t sysex = 0;
    for (TALVEN_MIDI_EVENT& event : song.events) {
        if (event.status != 0xF0)
            continue;
        event.data = song.sysex[sysex].data();
        event.size = static_cast<std::uint32_t>(song.sysex[sysex].size());
        ++sysex;
    }
    return true;
}

bool MidiFeeder::feedUntil(std::uint64_t frame)
{
    std::size_t end = next_;
    while (end < song_.events.size() && song_.events[end].frame < frame)
        ++end;
    if (end == next_)
        return true;
    const std::int32_t taken = TALVEN_StreamEvents(handle_, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME,
                                                   song_.events.data() + next_, static_cast<std::uint32_t>(end - next_));
    if (taken < 0)
        return false;
    next_ += static_cast<std::size_t>(taken);
    return true;
}

} // namespace talven::apply
