// --midi SONG INSTRUMENT OUTPUT: the song played on an instrument stream,
// pulled sample-accurately into a float WAV file, through the --then
// effects.
#include "Apply.h"
#include "BassHandles.h"
#include "MidiSong.h"
#include "OutputFile.h"
#include "Progress.h"

#include "bass.h"
#include "talven.h"

#include <cmath>
#include <vector>

namespace talven::apply {
namespace {

// Each --then effect after the ones before it: lower priorities run later.
bool attachEffects(const Options& options, HSTREAM stream, std::string& error)
{
    std::int32_t priority = 0;
    for (const std::string& effect : options.then) {
        if (!TALVEN_ChannelSetDSP(stream, effect.c_str(), 0, priority--, 0, 0, 0, nullptr, "talven-apply")) {
            error = "cannot load " + effect + ": not a VST 3 audio effect Talven can attach";
            return false;
        }
    }
    return true;
}

} // namespace

bool renderInstrument(const Options& options, std::string& error)
{
    MidiSong song;
    if (!readMidiSong(options.midi, options.rate, song, error))
        return false;
    BassSession bass;
    if (!bass.ok()) {
        error = bassError("cannot start BASS");
        return false;
    }
    std::uint32_t handle = 0;
    Stream stream(TALVEN_StreamCreate(options.rate, options.channels, options.plugin.c_str(), nullptr,
                                      BASS_STREAM_DECODE, &handle));
    if (!stream.get()) {
        error = "cannot load " + options.plugin + ": not a VST 3 instrument Talven can play";
        return false;
    }
    if (!applySettings(options, handle, error) || !attachEffects(options, stream.get(), error))
        return false;

    SF_INFO format{};
    format.samplerate = static_cast<int>(options.rate);
    format.channels = static_cast<int>(options.channels);
    format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    OutputFile output;
    if (!output.open(options.output, format, error))
        return false;
    const std::uint64_t total =
        song.lastFrame + static_cast<std::uint64_t>(std::llround(options.tail * options.rate));
    Progress progress(total, 10ull * options.rate);
    MidiFeeder feeder(song, handle);
    std::vector<float> block(static_cast<std::size_t>(kFramesPerPull) * options.channels);
    for (std::uint64_t done = 0; done < total;) {
        // Events go out a little ahead of the frames they fall in.
        if (!feeder.feedUntil(done + 2 * kFramesPerPull)) {
            error = "the instrument refused the song's events";
            return false;
        }
        const std::uint64_t frames = std::min<std::uint64_t>(kFramesPerPull, total - done);
        const auto bytes = static_cast<DWORD>(frames * options.channels * sizeof(float));
        if (BASS_ChannelGetData(stream.get(), block.data(), bytes | BASS_DATA_FLOAT) != bytes) {
            error = bassError("cannot render the instrument");
            return false;
        }
        if (!output.write(block.data(), static_cast<sf_count_t>(frames), error))
            return false;
        progress.advance(frames);
        done += frames;
    }
    return output.commit(error);
}

} // namespace talven::apply
