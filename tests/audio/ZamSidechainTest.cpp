// ZamCompX2 (zam-plugins, DPF; a mono side-chain input) keyed by a voice
// channel through its side-chain input, held sample for sample against the
// same compressor driven directly with the same two signals.
#include "AudioTestSupport.h"
#include "DirectProcessor.h"

#include "talven.h"

#include <filesystem>

namespace talven {
namespace {

using test::EngineTest;

using ZamSidechainTest = EngineTest;

const char* const kCompressor = "/usr/lib/vst3/ZamCompX2.vst3";

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

TEST_F(ZamSidechainTest, ZamCompX2KeyedByAVoiceChannelGivesExactlyWhatItGivesDrivenDirectly)
{
    if (!std::filesystem::exists(kCompressor))
        GTEST_FAIL() << kCompressor << " is missing (zam-plugins is installed by scripts/deps)";
    const DuckingCase cases[] = {
        {"stereo voice", 2, true},
        {"mono voice", 1, true},
        {"no voice", 2, false},
    };
    const int blocks[] = {512, 512, 4096, 333, 10000, 1};
    for (const DuckingCase& c : cases) {
        SCOPED_TRACE(c.what);
        const HSTREAM music = decodeStream(2);
        const HSTREAM voice = decodeStream(c.voiceChannels);
        const std::uint32_t handle = TALVEN_ChannelSetDSP(music, kCompressor, 0, 0, 0, 0, 0, nullptr, "");
        ASSERT_NE(handle, 0u);
        const std::int64_t sidechainId = parameterId(handle, u"Sidechain");
        ASSERT_GE(sidechainId, 0);
        ASSERT_EQ(TALVEN_SetSidechain(handle, voice, 0), 1);
        ASSERT_EQ(TALVEN_SetParam(handle, static_cast<std::uint32_t>(sidechainId), 1.0f), 0);
        // Its threshold well below the voice's level (0 dB by default).
        const std::int64_t thresholdId = parameterId(handle, u"Threshold");
        ASSERT_GE(thresholdId, 0);
        ASSERT_EQ(TALVEN_SetParam(handle, static_cast<std::uint32_t>(thresholdId), 0.5f), 0);

        support::DirectProcessor direct(kCompressor, test::kRate);
        ASSERT_TRUE(direct.ready());
        ASSERT_TRUE(direct.hasAuxInput());
        direct.setParameter(static_cast<std::uint32_t>(sidechainId), 1.0);
        direct.setParameter(static_cast<std::uint32_t>(thresholdId), 0.5);
        std::int64_t position = 0;
        double dryEnergy = 0;
        double outEnergy = 0;
        for (int frames : blocks) {
            std::vector<float> voiceBlock(static_cast<size_t>(frames) * static_cast<size_t>(c.voiceChannels), 0.0f);
            if (c.voicePulled) {
                voiceBlock = pull(voice, c.voiceChannels, frames);
                ASSERT_EQ(voiceBlock, test::signalBlock(position, c.voiceChannels, frames));
            }
            const std::vector<float> dry = test::signalBlock(position, 2, frames);
            const std::vector<float> expected = direct.process(dry, 2, voiceBlock, c.voiceChannels);
            const std::vector<float> out = pull(music, 2, frames);
            ASSERT_EQ(out, expected) << "block at frame " << position;
            for (size_t i = 0; i < out.size(); ++i) {
                dryEnergy += static_cast<double>(dry[i]) * dry[i];
                outEnergy += static_cast<double>(out[i]) * out[i];
            }
            position += frames;
        }
        // Without a voice the compressor, keyed by silence, leaves the music
        // as it is, though the music alone is far above its threshold.
        if (!c.voicePulled) {
            EXPECT_NEAR(outEnergy, dryEnergy, 0.01 * dryEnergy);
        }
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
        BASS_StreamFree(music);
        BASS_StreamFree(voice);
    }
}

} // namespace
} // namespace talven
