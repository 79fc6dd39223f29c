// A side-chain: one channel's audio on the first auxiliary input bus of a
// plug-in on another channel. Probe plug-ins that play their side-chain
// input show the frames and channels the bus received.
#include "AudioTestSupport.h"

#include "talven.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace talven {
namespace {

using test::EngineTest;

class SidechainTest : public EngineTest {
protected:
    // Makes both playing channels, measures the lateness and frees the
    // side-chain while they play.
    void playAndFreeSidechain(bool voiceFirst);
};

// Frames the side-chain channel is pulled ahead before it is set, so that
// its frames differ from the plug-in channel's at the same position.
constexpr int kVoiceLead = 1000;

struct MappingCase {
    const char* plugin;
    int voiceChannels;
    // What output channel c (of two) holds, from the side-chain's frame.
    float (*expected)(const float* voiceFrame, int c);
};

float sameChannel(const float* v, int c) { return v[c]; }
float firstChannel(const float* v, int) { return v[0]; }
float leftOnlyMean(const float* v, int c) { return c == 0 ? (v[0] + v[1]) * 0.5f : 0.0f; }
float leftOnlyFirst(const float* v, int c) { return c == 0 ? v[0] : 0.0f; }

TEST_F(SidechainTest, TheAuxiliaryBusHearsTheSideChainFrameForFrameMappedToItsChannelsAndSilenceOnceRemoved)
{
    const MappingCase cases[] = {
        {"ProbeSideChainListen", 2, sameChannel},
        {"ProbeSideChainListen", 1, firstChannel},
        {"ProbeMonoSideChainListen", 2, leftOnlyMean},
        {"ProbeMonoSideChainListen", 1, leftOnlyFirst},
    };
    const int blocks[] = {512, 333, 4196, 1, 2048};
    for (const MappingCase& c : cases) {
        SCOPED_TRACE(std::string(c.plugin) + " fed by " + std::to_string(c.voiceChannels) + " channel(s)");
        const HSTREAM music = decodeStream(2);
        const HSTREAM voice = decodeStream(c.voiceChannels);
        pull(voice, c.voiceChannels, kVoiceLead);
        const std::uint32_t handle =
            TALVEN_ChannelSetDSP(music, test::testPluginPath(c.plugin).c_str(), 0, 0, 0, 0, 0, nullptr, "");
        ASSERT_NE(handle, 0u);
        ASSERT_EQ(TALVEN_SetSidechain(handle, voice, 0), 1);
        std::int64_t position = 0;
        for (int frames : blocks) {
            const std::vector<float> voiceBlock = pull(voice, c.voiceChannels, frames);
            const std::vector<float> out = pull(music, 2, frames);
            const std::vector<float> expectedVoice = test::signalBlock(position + kVoiceLead, c.voiceChannels, frames);
            ASSERT_EQ(voiceBlock, expectedVoice); // the side-chain's own audio is untouched
            for (int j = 0; j < frames; ++j) {
                const float* v = &expectedVoice[static_cast<size_t>(j) * static_cast<size_t>(c.voiceChannels)];
                for (int ch = 0; ch < 2; ++ch)
                    ASSERT_EQ(out[static_cast<size_t>(j) * 2 + static_cast<size_t>(ch)], c.expected(v, ch))
                        << "frame " << position + j << " channel " << ch;
            }
            position += frames;
        }
        ASSERT_EQ(TALVEN_SetSidechain(handle, 0, 0), 1);
        pull(voice, c.voiceChannels, 512);
        EXPECT_EQ(pull(music, 2, 512), std::vector<float>(1024, 0.0f));
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
        BASS_StreamFree(music);
        BASS_StreamFree(voice);
    }
}

TEST_F(SidechainTest, ASideChainRefusedChangesNothing)
{
    const HSTREAM music = decodeStream(2);
    const HSTREAM voice = decodeStream(2);
    const std::uint32_t listen = TALVEN_ChannelSetDSP(
        music, test::testPluginPath("ProbeSideChainListen").c_str(), 0, 0, 0, 0, 0, nullptr, "");
    const HSTREAM other = decodeStream(2);
    const std::uint32_t plain =
        TALVEN_ChannelSetDSP(other, test::testPluginPath("ProbeStereo").c_str(), 0, 0, 0, 0, 0, nullptr, "");
    ASSERT_NE(listen, 0u);
    ASSERT_NE(plain, 0u);
    const HSTREAM otherRate = BASS_StreamCreate(test::kRate / 2, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE,
                                                test::SignalSource::proc, nullptr);
    // BASS's own default: 16-bit samples, and float DSP off.
    const HSTREAM sixteenBit =
        BASS_StreamCreate(test::kRate, 2, BASS_STREAM_DECODE, test::SignalSource::proc, nullptr);
    struct Refusal {
        const char* what;
        std::uint32_t handle;
        std::uint32_t channel;
    };
    const Refusal refusals[] = {
        {"unknown handle", listen + 1000, voice},
        {"no auxiliary input", plain, voice},
        {"no such channel", listen, 0x7fff1234u},
        {"its own channel", listen, music},
        {"another sample rate", listen, otherRate},
        {"16-bit data without float DSP", listen, sixteenBit},
    };
    for (const Refusal& r : refusals)
        EXPECT_EQ(TALVEN_SetSidechain(r.handle, r.channel, 0), 0) << r.what;
    // Nothing was set: the bus is silent and the voice untouched.
    pull(voice, 2, 256);
    EXPECT_EQ(pull(music, 2, 256), std::vector<float>(512, 0.0f));
    BASS_StreamFree(otherRate);
    BASS_StreamFree(sixteenBit);
}

TEST_F(SidechainTest, AFreedSideChainChannelLeavesSilenceAndThePlugInGoesOn)
{
    const HSTREAM music = decodeStream(2);
    const HSTREAM voice = decodeStream(2);
    const std::uint32_t handle = TALVEN_ChannelSetDSP(
        music, test::testPluginPath("ProbeSideChainListen").c_str(), 0, 0, 0, 0, 0, nullptr, "");
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(TALVEN_SetSidechain(handle, voice, 0), 1);
    pull(voice, 2, 512);
    EXPECT_EQ(pull(music, 2, 512), test::signalBlock(0, 2, 512));
    EXPECT_TRUE(BASS_StreamFree(voice));
    EXPECT_EQ(pull(music, 2, 512), std::vector<float>(1024, 0.0f));
    // Removing it afterwards, and detaching, touch nothing of the freed channel.
    EXPECT_EQ(TALVEN_SetSidechain(handle, 0, 0), 1);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
}

// How late the side-chain a plug-in on a playing music channel hears is,
// in time: against the voice frame played in the same engine period. A
// clock channel made before both renders first in every period; its DSP
// reads both channels' positions before either renders, which tells which
// voice frame plays together with which music frame.
struct LatenessProbe {
    std::atomic<HSTREAM> music{0};
    std::atomic<HSTREAM> voice{0};
    // Voice frame minus music frame played in the same period.
    std::atomic<std::int64_t> voiceAhead{0};
    std::atomic<bool> bothKnown{false};
    std::atomic<std::int64_t> matchedBlocks{0};
    std::atomic<std::int64_t> silentBlocks{0};
    std::atomic<std::int64_t> maxLateness{-1};

    static std::int64_t framePosition(HSTREAM stream)
    {
        return static_cast<std::int64_t>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE) / (2 * sizeof(float)));
    }

    // On the mixing thread, first in each period.
    static void CALLBACK clock(HDSP, DWORD, void*, DWORD, void* user)
    {
        auto& probe = *static_cast<LatenessProbe*>(user);
        const HSTREAM music = probe.music.load();
        const HSTREAM voice = probe.voice.load();
        if (music == 0 || voice == 0)
            return;
        probe.voiceAhead.store(framePosition(voice) - framePosition(music));
        probe.bothKnown.store(true);
    }

    // On the mixing thread, after the plug-in on the music channel.
    static void CALLBACK capture(HDSP, DWORD, void* buffer, DWORD length, void* user)
    {
        auto& probe = *static_cast<LatenessProbe*>(user);
        const auto* out = static_cast<const float*>(buffer);
        const std::int64_t frames = static_cast<std::int64_t>(length / (2 * sizeof(float)));
        if (frames == 0 || (out[0] == 0.0f && out[1] == 0.0f)) {
            probe.silentBlocks.fetch_add(1);
            return;
        }
        if (!probe.bothKnown.load())
            return;
        // A DSP reads its own channel's position as just after its block.
        const std::int64_t first = framePosition(probe.music.load()) - frames;
        const std::int64_t playedWith = first + probe.voiceAhead.load();
        for (std::int64_t k = playedWith + frames; k >= 0 && k > playedWith - 48000; --k) {
            if (out[0] == test::signalSample(k, 0) && out[1] == test::signalSample(k, 1)) {
                const std::int64_t lateness = playedWith - k;
                std::int64_t seen = probe.maxLateness.load();
                while (lateness > seen && !probe.maxLateness.compare_exchange_weak(seen, lateness)) {
                }
                probe.matchedBlocks.fetch_add(1);
                return;
            }
        }
    }
};

template <typename Condition>
bool waitFor(Condition condition)
{
    for (int i = 0; i < 2000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

void SidechainTest::playAndFreeSidechain(bool voiceFirst)
{
    LatenessProbe probe;
    const HSTREAM clock = playingStream(1);
    ASSERT_NE(BASS_ChannelSetDSP(clock, LatenessProbe::clock, &probe, 0), 0u);
    const HSTREAM early = voiceFirst ? 0 : playingStream(2);
    // Counted from its first frame on: the count is set before it plays.
    test::SignalSource voiceSource(2);
    const HSTREAM voice =
        BASS_StreamCreate(test::kRate, 2, BASS_SAMPLE_FLOAT, test::SignalSource::proc, &voiceSource);
    // Freed on every way out, before its source goes (a second free fails
    // harmlessly).
    struct FreeOnExit {
        HSTREAM stream;
        ~FreeOnExit() { BASS_StreamFree(stream); }
    } voiceGuard{voice}, clockGuard{clock};
    ASSERT_TRUE(BASS_ChannelPlay(voice, FALSE));
    const HSTREAM music = voiceFirst ? playingStream(2) : early;
    const std::uint32_t handle = TALVEN_ChannelSetDSP(
        music, test::testPluginPath("ProbeSideChainListen").c_str(), 0, 0, 0, 0, 0, nullptr, "");
    ASSERT_NE(handle, 0u);
    ASSERT_NE(BASS_ChannelSetDSP(music, LatenessProbe::capture, &probe, -1000), 0u);
    probe.music.store(music);
    probe.voice.store(voice);
    ASSERT_EQ(TALVEN_SetSidechain(handle, voice, 0), 1);
    ASSERT_TRUE(waitFor([&] { return probe.matchedBlocks.load() >= 50; }));
    const std::int64_t lateness = probe.maxLateness.load();
    // The engine renders in periods of 10 ms (480 frames at 48 kHz) and a
    // side-chain rendered after the plug-in's channel in a period reaches
    // the plug-in one period later.
    std::printf("playing side-chain (%s): at most %lld frames (%.2f ms) late\n",
                voiceFirst ? "rendered first" : "rendered second", static_cast<long long>(lateness),
                1000.0 * static_cast<double>(lateness) / test::kRate);
    // The engine's order is fixed, so each order has its exact figure.
    EXPECT_EQ(lateness, voiceFirst ? 0 : 480);
    // The voice freed while both play: silence from then on, the plug-in on.
    EXPECT_TRUE(BASS_StreamFree(voice));
    const std::int64_t silentBefore = probe.silentBlocks.load();
    EXPECT_TRUE(waitFor([&] { return probe.silentBlocks.load() >= silentBefore + 20; }));
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
    BASS_StreamFree(music);
}

TEST_F(SidechainTest, APlayingSideChainIsAtMostOneUpdatePeriodLateAndItsFreeLeavesSilence)
{
    // The engine renders its channels in the order they were made: the
    // side-chain before or after the plug-in's channel.
    for (const bool voiceFirst : {true, false}) {
        SCOPED_TRACE(voiceFirst ? "side-chain rendered first" : "side-chain rendered second");
        playAndFreeSidechain(voiceFirst);
    }
}

} // namespace
} // namespace talven
