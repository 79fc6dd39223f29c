// talven-apply --midi: a generated Standard MIDI File (two tracks, a tempo
// change) played on the event recorder's instrument, whose output is 0.5
// while a note sounds: the notes start and end at exactly the frames the
// tempo map gives, at any rate and channel count, through --then effects,
// for --tail seconds after the last event.
#include "ToolSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tooltest::runApply;
using tooltest::ToolRun;

void appendNumber(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A variable-length quantity, as SMF delta times are written.
void appendDelta(std::vector<unsigned char>& out, std::uint32_t ticks)
{
    unsigned char groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<unsigned char>(ticks & 0x7F);
        ticks >>= 7;
    } while (ticks > 0);
    while (count > 1)
        out.push_back(groups[--count] | 0x80);
    out.push_back(groups[0]);
}

struct TimedBytes {
    std::uint32_t tick;
    std::vector<unsigned char> bytes;
};

void appendTrack(std::vector<unsigned char>& file, const std::vector<TimedBytes>& events)
{
    std::vector<unsigned char> track;
    std::uint32_t at = 0;
    for (const TimedBytes& event : events) {
        appendDelta(track, event.tick - at);
        at = event.tick;
        track.insert(track.end(), event.bytes.begin(), event.bytes.end());
    }
    appendDelta(track, 0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    appendNumber(file, static_cast<std::uint32_t>(track.size()), 4);
    file.insert(file.end(), track.begin(), track.end());
}

// 480 ticks a quarter; 120 BPM until tick 960, 240 BPM after it. The notes
// sound from 0.5 s to 1.0 s and from 1.25 s to 1.5 s.
void writeSong(const char* path)
{
    std::vector<unsigned char> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0};
    appendTrack(file, {{0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}}, {960, {0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}}});
    appendTrack(file, {{480, {0x90, 60, 100}}, {960, {0x80, 60, 0}}, {1440, {0x90, 62, 100}}, {1920, {0x90, 62, 0}}});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                 static_cast<std::streamsize>(file.size()));
}

struct Audio {
    SF_INFO info{};
    std::vector<float> samples;
};

Audio readAudio(const char* path)
{
    Audio audio;
    SNDFILE* file = sf_open(path, SFM_READ, &audio.info);
    if (!file)
        return audio;
    audio.samples.resize(static_cast<std::size_t>(audio.info.frames * audio.info.channels));
    sf_readf_float(file, audio.samples.data(), audio.info.frames);
    sf_close(file);
    return audio;
}

TEST(MidiToolTest, ASongPlaysOnTheInstrumentAtTheFramesItsTempoMapGivesThroughTheEffectsAfterIt)
{
    writeSong("song.mid");
    const std::string instrument = tooltest::testPlugin("EventRecorder");
    const std::string gain = tooltest::testPlugin("ProgramGain"); // halves its input
    struct Case {
        const char* what;
        std::vector<std::string> options;
        int rate;
        int channels;
        double tail;
        float level;
    };
    const Case cases[] = {
        {"defaults", {}, 48000, 2, 2.0, 0.5f},
        {"mono at 44.1 kHz, a short tail", {"--rate", "44100", "--channels=1", "--tail", "0.25"}, 44100, 1, 0.25,
         0.5f},
        {"six channels, no tail", {"--channels", "6", "--tail=0"}, 48000, 6, 0.0, 0.5f},
        {"through two effects", {"--then", gain, "--then=" + gain}, 48000, 2, 2.0, 0.125f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove("song.wav");
        std::vector<std::string> arguments = {"--midi", "song.mid"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.insert(arguments.end(), {instrument, "song.wav"});
        const ToolRun run = runApply(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Audio audio = readAudio("song.wav");
        ASSERT_EQ(audio.info.samplerate, c.rate);
        ASSERT_EQ(audio.info.channels, c.channels);
        const auto frameAt = [&](double seconds) { return static_cast<long>(seconds * c.rate + 0.5); };
        ASSERT_EQ(audio.info.frames, frameAt(1.5) + frameAt(c.tail));
        long mismatches = 0;
        for (long j = 0; j < audio.info.frames; ++j) {
            const bool sounding = (j >= frameAt(0.5) && j < frameAt(1.0)) || (j >= frameAt(1.25) && j < frameAt(1.5));
            for (int ch = 0; ch < c.channels; ++ch) {
                if (audio.samples[static_cast<std::size_t>(j * c.channels + ch)] != (sounding ? c.level : 0.f))
                    ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(MidiToolTest, BadSongsInstrumentsAndOptionsFailWithOneLineAndNoOutput)
{
    writeSong("song.mid");
    std::ofstream("not-a-song.mid") << "MThd but nothing more";
    const std::string instrument = tooltest::testPlugin("EventRecorder");
    const std::string effect = tooltest::testPlugin("ProgramGain");
    const std::vector<std::vector<std::string>> runs = {
        {"--midi", "missing.mid", instrument, "bad.wav"},
        {"--midi", "not-a-song.mid", instrument, "bad.wav"},
        {"--midi", "song.mid", effect, "bad.wav"},
        {"--midi", "song.mid", "--then", instrument, instrument, "bad.wav"},
        {"--midi", "song.mid", "--rate", "7999", instrument, "bad.wav"},
        {"--midi", "song.mid", "--channels", "9", instrument, "bad.wav"},
        {"--midi", "song.mid", "--tail", "-1", instrument, "bad.wav"},
        {"--rate", "44100", instrument, "song.mid", "bad.wav"},
    };
    for (const std::vector<std::string>& arguments : runs) {
        SCOPED_TRACE(arguments[1] + " " + arguments[2]);
        std::remove("bad.wav");
        const ToolRun run = runApply(arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(tooltest::toolMessages(run.err).size(), 1u) << run.err;
        EXPECT_FALSE(std::ifstream("bad.wav").good());
    }
}

} // namespace
