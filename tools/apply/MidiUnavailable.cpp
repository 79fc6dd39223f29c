// The Windows build: Debian has no libsmf (nor libsndfile) for MinGW-w64, so
// this build plays no MIDI files.
#include "Apply.h"
#include "MidiSong.h"

namespace talven::apply {

bool readMidiSong(const std::string& path, std::uint32_t, MidiSong&, std::string& error)
{
    error = "cannot read " + path + ": this build of talven-apply plays no MIDI files";
    return false;
}

bool MidiFeeder::feedUntil(std::uint64_t)
{
    return false;
}

bool renderInstrument(const Options& options, std::string& error)
{
    MidiSong song;
    return readMidiSong(options.midi, options.rate, song, error);
}

} // namespace talven::apply
