// ZamCompX2 (zam-plugins, DPF; a mono side-chain input) on a music channel,
// keyed by a voice channel through its side-chain input: the music drops by
// the gain reduction the compressor's settings give for the voice's level,
// sample for sample as the same compressor driven directly with the same two
// signals gives, and without the voice it is left as it is.
//
// The compressor is the one scripts/zam-plugins builds for this target.
// Debian's own build cannot serve: the VST 3 wrapper of its DPF hands the
// plug-in the channels of the first input bus alone, so the side-chain input
// hears silence whatever a host puts on bus 1; the script's build mends that.
#include "AudioTestSupport.h"
#include "DirectProcessor.h"

#include "talven.h"

#include <cmath>
#include <filesystem>
#include <string>

namespace talven {
namespace {

using test::EngineTest;

using ZamSidechainTest = EngineTest;

#if defined(_WIN32)
constexpr const char* kTree = "windows";
#else
constexpr const char* kTree = "linux";
#endif

// The settings: the side-chain keys the compressor; threshold -30 dB
// (normalized (plain + 80) / 80 over its -80..0 dB range). The rest stay at
// the plug-in's defaults: ratio 4, knee 0 dB, makeup 0 dB, attack 10 ms,
// release 80 ms, its detector the level of each key sample.
constexpr double kThresholdDb = -30.0;
constexpr double kRatio = 4.0;
// The voice: a square wave, so that its level is the same at every sample;
// stereo with channels whose mean (what a mono side-chain bus gets) is that.
constexpr float kVoiceLevel = 0.5f;
constexpr std::int64_t kHalfPeriod = 48;
// Frames after which the gain reduction has settled: 20 attack time
// constants.
constexpr std::int64_t kSettled = 9600;

float voiceSample(std::int64_t frame, int channel, int channels)
{
    const float amplitude = channels == 1 ? kVoiceLevel : (channel == 0 ? 0.6f : 0.4f);
    return (frame / kHalfPeriod) % 2 == 0 ? amplitude : -amplitude;
}

std::vector<float> voiceBlock(std::int64_t first, int channels, int frames)
{
    std::vector<float> block(static_cast<size_t>(channels) * static_cast<size_t>(frames));
    for (int j = 0; j < frames; ++j)
        for (int c = 0; c < channels; ++c)
            block[static_cast<size_t>(j) * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                voiceSample(first + j, c, channels);
    return block;
}

struct VoiceSource {
    int channels;
    std::int64_t next = 0;

    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* source = static_cast<VoiceSource*>(user);
        const DWORD frameBytes = static_cast<DWORD>(sizeof(float)) * static_cast<DWORD>(source->channels);
        const int frames = static_cast<int>(length / frameBytes);
        const std::vector<float> block = voiceBlock(source->next, source->channels, frames);
        std::copy(block.begin(), block.end(), static_cast<float*>(buffer));
        source->next += frames;
        return static_cast<DWORD>(frames) * frameBytes;
    }
};

// The id of the parameter titled title, or -1.
std::int64_t parameterId(std::uint32_t handle, const std::u16string& title)
{
    const std::int32_t count = TALVEN_GetParamCount(handle);
    for (std::int32_t i = 0; i < count; ++i) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, i, &info) == 0 &&
            std::u16string(reinterpret_cast<const char16_t*>(info.title)) == title)
            return info.id;
    }
    return -1;
}

struct DuckingCase {
    const char* what;
    int voiceChannels;
    bool voicePulled; // false: the side-chain channel plays nothing
};

TEST_F(ZamSidechainTest, MusicKeyedByAVoiceDucksByTheCompressorsGainReductionExactlyAsDrivenDirectly)
{
    const std::string compressor = std::string(TALVEN_ZAM_BUILD_DIR) + "/" + kTree + "/ZamCompX2.vst3";
    if (!std::filesystem::exists(compressor))
        GTEST_FAIL() << compressor << " is missing (scripts/zam-plugins builds it)";
    // Above the threshold every key sample is brought down by (1 - 1/ratio)
    // of its excess.
    const double voiceDb = 20.0 * std::log10(static_cast<double>(kVoiceLevel));
    const double reductionDb = (voiceDb - kThresholdDb) * (1.0 - 1.0 / kRatio);
    const DuckingCase cases[] = {
        {"stereo voice", 2, true},
        {"mono voice", 1, true},
        {"no voice", 2, false},
    };
    const int blocks[] = {512, 512, 4096, 333, 10000, 1};
    for (const DuckingCase& c : cases) {
        SCOPED_TRACE(c.what);
        const HSTREAM music = decodeStream(2);
        VoiceSource source{c.voiceChannels};
        const HSTREAM voice = BASS_StreamCreate(test::kRate, static_cast<DWORD>(c.voiceChannels),
                                                BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, VoiceSource::proc, &source);
        ASSERT_NE(voice, 0u);
        const std::uint32_t handle = TALVEN_ChannelSetDSP(music, compressor.c_str(), 0, 0, 0, 0, 0, nullptr, "");
        ASSERT_NE(handle, 0u);
        const std::int64_t sidechainId = parameterId(handle, u"Sidechain");
        const std::int64_t thresholdId = parameterId(handle, u"Threshold");
        ASSERT_GE(sidechainId, 0);
        ASSERT_GE(thresholdId, 0);
        const double threshold = (kThresholdDb + 80.0) / 80.0;
        ASSERT_EQ(TALVEN_SetSidechain(handle, voice, 0), 1);
        ASSERT_EQ(TALVEN_SetParam(handle, static_cast<std::uint32_t>(sidechainId), 1.0f), 0);
        ASSERT_EQ(TALVEN_SetParam(handle, static_cast<std::uint32_t>(thresholdId), static_cast<float>(threshold)), 0);

        support::DirectProcessor direct(compressor, test::kRate);
        ASSERT_TRUE(direct.ready());
        ASSERT_TRUE(direct.hasAuxInput());
        direct.setParameter(static_cast<std::uint32_t>(sidechainId), 1.0);
        direct.setParameter(static_cast<std::uint32_t>(thresholdId), static_cast<float>(threshold));
        std::int64_t position = 0;
        double dryEnergy = 0;
        double outEnergy = 0;
        for (int frames : blocks) {
            std::vector<float> voiceFrames(static_cast<size_t>(frames) * static_cast<size_t>(c.voiceChannels), 0.0f);
            if (c.voicePulled) {
                voiceFrames = pull(voice, c.voiceChannels, frames);
                ASSERT_EQ(voiceFrames, voiceBlock(position, c.voiceChannels, frames));
            }
            const std::vector<float> dry = test::signalBlock(position, 2, frames);
            const std::vector<float> expected = direct.process(dry, 2, voiceFrames, c.voiceChannels);
            const std::vector<float> out = pull(music, 2, frames);
            ASSERT_EQ(out, expected) << "block at frame " << position;
            for (int j = 0; j < frames; ++j) {
                if (position + j < kSettled)
                    continue;
                for (size_t i = 2 * static_cast<size_t>(j); i < 2 * static_cast<size_t>(j) + 2; ++i) {
                    dryEnergy += static_cast<double>(dry[i]) * dry[i];
                    outEnergy += static_cast<double>(out[i]) * out[i];
                }
            }
            position += frames;
        }
        ASSERT_GT(outEnergy, 0.0);
        const double dropDb = 10.0 * std::log10(dryEnergy / outEnergy);
        // Settled, the key's level is constant, so is the gain: the drop is
        // the reduction to a hair (a stereo key's mean on a channel of it
        // instead would be off by 1.2 dB). Keyed by silence the compressor
        // leaves the music as it is, though the music alone is far above its
        // threshold.
        EXPECT_NEAR(dropDb, c.voicePulled ? reductionDb : 0.0, c.voicePulled ? 0.2 : 0.01);
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
        BASS_StreamFree(music);
        BASS_StreamFree(voice);
    }
}

} // namespace
} // namespace talven
