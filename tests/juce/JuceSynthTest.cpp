// The JUCE-built instrument (tests/plugins/juce, TalvenJuceSynth) as an
// instrument stream. Its output is exact per frame (see SynthProcessor.cpp),
// so every case states what each span of frames must hold: timed notes,
// their note offs, CC 7, pitch bend and CC 123 (the last three through
// JUCE's IMidiMapping) all land at exactly their frame, and the parameter a
// controller moved reads back its value. Streams of any channel count carry
// its stereo output, presets bring its state back, every way of freeing the
// stream lets the plug-in go, and JUCE prints not one assertion throughout.
#include "JucePlugin.h"
#include "MidiEventAt.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace talven::test {
namespace {

constexpr DWORD kRate = 48000;
constexpr float kLevel = 0.5f; // the Level parameter's default

TEST(JuceSynthAssertions, NotOneIsPrintedWhileTheJuceInstrumentPlays)
{
    if (inJuceChild())
        GTEST_SKIP() << "the child runs the tests it counts";
    const ChildRun run = runJuceChild("JuceSynth*");
    const int assertions = countJuceAssertions(run.errorOutput);
    std::printf("JUCE assertions printed: %d\n", assertions);
    EXPECT_TRUE(run.exitedCleanly) << "the child failed or ended early; its standard error:\n" << run.errorOutput;
    EXPECT_EQ(assertions, 0) << run.errorOutput;
}

// A note's share of the left channel: velocity / 127 at the channel's volume.
float voice(int velocity, int volume = 127, float level = kLevel)
{
    return static_cast<float>(velocity) / 127.0f * (static_cast<float>(volume) / 127.0f) * level;
}

class JuceSynthTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!inJuceChild())
            GTEST_SKIP() << "runs in the child that JuceSynthAssertions starts";
        ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr));
    }
    void TearDown() override
    {
        if (inJuceChild())
            BASS_Free();
    }

    HSTREAM create(std::uint32_t* handle, DWORD chans = 2, DWORD flags = BASS_STREAM_DECODE)
    {
        return TALVEN_StreamCreate(kRate, chans, TALVEN_JUCE_INSTRUMENT_PATH, nullptr, flags, handle);
    }

    // The next frames of the stream, interleaved, read in pieces of 512
    // frames as BASS asks for them.
    static std::vector<float> read(HSTREAM stream, int frames, int chans = 2)
    {
        std::vector<float> samples(static_cast<std::size_t>(frames) * chans);
        std::size_t done = 0;
        while (done < samples.size()) {
            const std::size_t piece = std::min<std::size_t>(samples.size() - done, 512u * chans);
            const DWORD bytes = BASS_ChannelGetData(stream, samples.data() + done,
                                                    static_cast<DWORD>(piece * sizeof(float)));
            if (bytes == static_cast<DWORD>(-1) || bytes == 0) {
                ADD_FAILURE() << "the stream gave no more data";
                break;
            }
            done += bytes / sizeof(float);
        }
        return samples;
    }

    static std::uint32_t param(std::uint32_t handle, const char* title)
    {
        for (int i = 0; i < TALVEN_GetParamCount(handle); ++i) {
            TALVEN_PARAMETERINFO info{};
            if (TALVEN_GetParamInfo(handle, i, &info) != 0)
                continue;
            std::size_t c = 0;
            while (title[c] && info.title[c] == static_cast<unsigned char>(title[c]))
                ++c;
            if (!title[c] && info.title[c] == 0)
                return info.id;
        }
        ADD_FAILURE() << "no parameter titled " << title;
        return 0xFFFFFFFEu;
    }
};

// From frame `from` on (to the next span's start), the left and right
// channels hold exactly these values.
struct Span {
    long long from;
    float left;
    float right;
};

struct PlayCase {
    const char* what;
    std::vector<TALVEN_MIDI_EVENT> events;
    std::vector<Span> spans;
};

TEST_F(JuceSynthTest, EveryTimedEventChangesTheOutputAtExactlyItsFrame)
{
    const float v100 = voice(100);
    const float v64 = voice(64);
    const PlayCase cases[] = {
        {"a note from frame 0 to 300", {midiAt(0, 0x90, 60, 100), midiAt(300, 0x80, 60, 0)},
         {{0, v100, v100}, {300, 0, 0}}},
        {"a note inside a block", {midiAt(1000, 0x90, 60, 100), midiAt(1300, 0x80, 60, 64)},
         {{0, 0, 0}, {1000, v100, v100}, {1300, 0, 0}}},
        {"a note on the last frame of a process call and off past the next",
         {midiAt(4095, 0x90, 60, 100), midiAt(4097, 0x80, 60, 0)}, {{0, 0, 0}, {4095, v100, v100}, {4097, 0, 0}}},
        {"velocity 0 ends a note", {midiAt(511, 0x90, 60, 100), midiAt(512, 0x90, 60, 0)},
         {{0, 0, 0}, {511, v100, v100}, {512, 0, 0}}},
        {"two notes on two channels add up", {midiAt(100, 0x90, 60, 100), midiAt(200, 0x93, 72, 64), midiAt(900, 0x80, 60, 0)},
         {{0, 0, 0}, {100, v100, v100}, {200, v100 + v64, v100 + v64}, {900, v64, v64}}},
        {"CC 7 sets the channel's volume at its frame", {midiAt(1000, 0x90, 60, 100), midiAt(1500, 0xB0, 7, 64)},
         {{0, 0, 0}, {1000, v100, v100}, {1500, voice(100, 64), voice(100, 64)}}},
        {"pitch bend up scales the right channel", {midiAt(1000, 0x90, 60, 100), midiAt(1234, 0xE0, 0, 96)},
         {{0, 0, 0}, {1000, v100, v100}, {1234, v100, v100 * (12288.0f / 8192.0f)}}},
        {"pitch bend down, then back to the centre",
         {midiAt(10, 0x90, 60, 100), midiAt(2047, 0xE0, 0, 32), midiAt(2048, 0xE0, 0, 64)},
         {{0, 0, 0}, {10, v100, v100}, {2047, v100, v100 * 0.5f}, {2048, v100, v100}}},
        {"pitch bend on another channel leaves the note alone", {midiAt(10, 0x90, 60, 100), midiAt(700, 0xE1, 0, 96)},
         {{0, 0, 0}, {10, v100, v100}}},
        {"CC 123 ends the channel's notes and no other's",
         {midiAt(10, 0x90, 60, 100), midiAt(20, 0x90, 64, 64), midiAt(30, 0x92, 67, 64), midiAt(5000, 0xB0, 123, 0)},
         {{0, 0, 0}, {10, v100, v100}, {20, v100 + v64, v100 + v64}, {30, v100 + v64 + v64, v100 + v64 + v64},
          {5000, v64, v64}}},
    };
    constexpr long long kFrames = 6000;
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::uint32_t handle = 0;
        const HSTREAM stream = create(&handle);
        ASSERT_NE(stream, 0u);
        ASSERT_NE(handle, 0u);
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, c.events.data(),
                                      static_cast<std::uint32_t>(c.events.size())),
                  static_cast<int>(c.events.size()));
        const std::vector<float> out = read(stream, kFrames);
        for (std::size_t s = 0; s < c.spans.size(); ++s) {
            const Span& span = c.spans[s];
            const long long to = s + 1 < c.spans.size() ? c.spans[s + 1].from : kFrames;
            long long wrong = -1;
            for (long long f = span.from; f < to && wrong < 0; ++f) {
                if (std::fabs(out[2 * f] - span.left) > 1e-6f || std::fabs(out[2 * f + 1] - span.right) > 1e-6f)
                    wrong = f;
            }
            EXPECT_EQ(wrong, -1) << "from frame " << span.from << " on, expected " << span.left << " / "
                                 << span.right << "; frame " << wrong << " holds "
                                 << (wrong >= 0 ? out[2 * wrong] : 0.f) << " / "
                                 << (wrong >= 0 ? out[2 * wrong + 1] : 0.f);
        }
        EXPECT_TRUE(BASS_StreamFree(stream));
    }
}

TEST_F(JuceSynthTest, UntimedEventsPlayFromTheNextBlocksStart)
{
    std::uint32_t handle = 0;
    const HSTREAM stream = create(&handle);
    ASSERT_NE(stream, 0u);
    read(stream, 1000);
    const std::uint8_t raw[] = {0x90, 60, 100, 0xB0, 7, 64};
    EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_RAW, raw, sizeof raw), 2);
    const std::vector<float> out = read(stream, 512);
    EXPECT_FLOAT_EQ(out[0], voice(100, 64));
    EXPECT_FLOAT_EQ(out[2 * 511], voice(100, 64));
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(JuceSynthTest, AControllerOrPitchBendMovesItsParameterForTheProgramToo)
{
    // JUCE names its controller parameters "MIDI CC <channel>|<number>",
    // pressure being number 128 and pitch bend 129.
    const struct {
        std::uint8_t bytes[3];
        const char* parameter;
        double value;
    } cases[] = {
        {{0xB0, 7, 64}, "MIDI CC 0|7", 64.0 / 127.0},
        {{0xB3, 1, 127}, "MIDI CC 3|1", 1.0},
        {{0xD0, 100, 0}, "MIDI CC 0|128", 100.0 / 127.0},
        {{0xE2, 0, 96}, "MIDI CC 2|129", 12288.0 / 16383.0},
    };
    std::uint32_t handle = 0;
    const HSTREAM stream = create(&handle);
    ASSERT_NE(stream, 0u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameter);
        const std::uint32_t id = param(handle, c.parameter);
        const std::uint32_t length = (c.bytes[0] & 0xF0) == 0xD0 ? 2 : 3;
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_RAW, c.bytes, length), 1);
        read(stream, 256);
        EXPECT_NEAR(TALVEN_GetParam(handle, id), c.value, 1e-6);
    }
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(JuceSynthTest, TheStreamIsTheInstrumentsStereoOutputAtAnyChannelCount)
{
    std::uint32_t handle = 0;
    for (const DWORD chans : {1u, 2u, 6u}) {
        SCOPED_TRACE(chans);
        const HSTREAM stream = create(&handle, chans);
        ASSERT_NE(stream, 0u);
        TALVEN_INFO info{};
        info.size = sizeof info;
        info.plugin.size = sizeof info.plugin;
        ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
        EXPECT_STREQ(info.plugin.name, "TalvenJuceSynth");
        EXPECT_EQ(info.inputChannels, 0);
        const TALVEN_MIDI_EVENT events[] = {midiAt(100, 0x90, 60, 100), midiAt(100, 0xE0, 0, 96)};
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, events, 2), 2);
        const std::vector<float> out = read(stream, 200, static_cast<int>(chans));
        EXPECT_EQ(out[99 * chans], 0.0f);
        EXPECT_FLOAT_EQ(out[150 * chans], voice(100));
        if (chans >= 2) {
            EXPECT_FLOAT_EQ(out[150 * chans + 1], voice(100) * 1.5f);
        }
        for (DWORD ch = 2; ch < chans; ++ch)
            EXPECT_EQ(out[150 * chans + ch], 0.0f) << "channel " << ch;
        EXPECT_TRUE(BASS_StreamFree(stream));
    }
}

TEST_F(JuceSynthTest, ARecalledPresetOrStateBringsTheLevelAndPolarityBack)
{
    std::uint32_t handle = 0;
    const HSTREAM stream = create(&handle);
    ASSERT_NE(stream, 0u);
    const std::uint32_t level = param(handle, "Level");
    const std::uint32_t invert = param(handle, "Invert");
    const TALVEN_MIDI_EVENT note[] = {midiAt(0, 0x90, 60, 127)};
    ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, note, 1), 1);

    ASSERT_EQ(TALVEN_SetParam(handle, level, 0.25f), 0);
    ASSERT_EQ(TALVEN_SetParam(handle, invert, 1.0f), 0);
    read(stream, 512);
    ASSERT_EQ(TALVEN_StorePreset("juce-synth.vstpreset", 0, handle), 1);
    std::vector<char> state(static_cast<std::size_t>(std::max(TALVEN_GetState(handle, nullptr, 0), 0)));
    ASSERT_FALSE(state.empty());
    ASSERT_EQ(TALVEN_GetState(handle, state.data(), static_cast<std::int32_t>(state.size())),
              static_cast<std::int32_t>(state.size()));

    enum class Recall { preset, state };
    for (const Recall way : {Recall::preset, Recall::state}) {
        SCOPED_TRACE(way == Recall::preset ? "preset" : "state");
        ASSERT_EQ(TALVEN_SetParam(handle, level, 0.75f), 0);
        ASSERT_EQ(TALVEN_SetParam(handle, invert, 0.0f), 0);
        read(stream, 512);
        EXPECT_FLOAT_EQ(read(stream, 512)[0], voice(127, 127, 0.75f));
        const int recalled = way == Recall::preset
                                 ? TALVEN_RecallPreset("juce-synth.vstpreset", handle)
                                 : TALVEN_SetState(handle, state.data(), static_cast<std::int32_t>(state.size()));
        ASSERT_EQ(recalled, 1);
        EXPECT_NEAR(TALVEN_GetParam(handle, level), 0.25, 1e-6);
        EXPECT_NEAR(TALVEN_GetParam(handle, invert), 1.0, 1e-6);
        // The processor took it too: the note sounds at a quarter, inverted.
        read(stream, 512);
        const std::vector<float> out = read(stream, 512);
        EXPECT_FLOAT_EQ(out[0], -voice(127, 127, 0.25f));
        EXPECT_FLOAT_EQ(out[1023], -voice(127, 127, 0.25f));
    }
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(JuceSynthTest, EveryWayOfFreeingTheStreamLetsTheInstrumentGo)
{
    enum class FreeBy { bassStreamFree, talvenChannelFree, removeWithTheHandle, bassFree, stopWithAutoFree };
    const FreeBy ways[] = {FreeBy::bassStreamFree, FreeBy::talvenChannelFree, FreeBy::removeWithTheHandle,
                           FreeBy::bassFree, FreeBy::stopWithAutoFree};
    for (const FreeBy way : ways) {
        SCOPED_TRACE(static_cast<int>(way));
        const bool autoFree = way == FreeBy::stopWithAutoFree;
        std::uint32_t handle = 0;
        const HSTREAM stream = create(&handle, 2, autoFree ? BASS_STREAM_AUTOFREE : BASS_STREAM_DECODE);
        ASSERT_NE(stream, 0u);
        const TALVEN_MIDI_EVENT note[] = {midiAt(0, 0x90, 60, 100)};
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, note, 1), 1);
        if (autoFree) {
            // Played by the engine's mixing thread for a few blocks.
            ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
            ASSERT_TRUE(waitUntil([&] { return BASS_ChannelGetPosition(stream, BASS_POS_BYTE) >= 4096 * 8; }));
        } else {
            EXPECT_FLOAT_EQ(read(stream, 256)[0], voice(100));
        }
        switch (way) {
        case FreeBy::bassStreamFree: EXPECT_TRUE(BASS_StreamFree(stream)); break;
        case FreeBy::talvenChannelFree: EXPECT_EQ(TALVEN_ChannelFree(stream), 1); break;
        case FreeBy::removeWithTheHandle:
            EXPECT_EQ(TALVEN_ChannelRemoveDSP(stream, handle), 1);
            EXPECT_FALSE(BASS_StreamFree(stream));
            break;
        case FreeBy::bassFree:
            BASS_Free();
            ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr));
            break;
        case FreeBy::stopWithAutoFree:
            EXPECT_TRUE(BASS_ChannelStop(stream));
            EXPECT_FALSE(BASS_StreamFree(stream)); // BASS freed it
            break;
        }
        EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, note, 1), -1);
        EXPECT_EQ(TALVEN_GetParamCount(handle), 0);
        DWORD dsps = 1, syncs = 1;
        ASSERT_TRUE(BASSTEST_GetCallbackCounts(0, &dsps, &syncs));
        EXPECT_EQ(dsps, 0u);
        EXPECT_EQ(syncs, 0u);
    }
}

} // namespace
} // namespace talven::test
