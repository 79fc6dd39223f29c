// The exported functions as a calling program reaches them: through
// talven.dll / libtalven.so and its load hook, with nothing of the
// library's internals linked in.
#include "bass.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string plugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/ProbeStereo.vst3";

// Frame j, channel c: a ramp per channel, distinct on every channel.
float sampleAt(long long frame, int channel)
{
    return static_cast<float>(frame % 97) / 128.0f + 0.25f * static_cast<float>(channel);
}

struct Source {
    long long frame = 0;
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* source = static_cast<Source*>(user);
        auto* samples = static_cast<float*>(buffer);
        const DWORD frames = length / (2 * sizeof(float));
        for (DWORD j = 0; j < frames; ++j, ++source->frame)
            for (int c = 0; c < 2; ++c)
                samples[2 * j + static_cast<DWORD>(c)] = sampleAt(source->frame, c);
        return frames * 2 * sizeof(float);
    }
};

class SharedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr));
        stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, Source::proc, &source);
        ASSERT_NE(stream, 0u);
    }
    void TearDown() override { EXPECT_TRUE(BASS_Free()); }

    // 256 frames through the channel; true when each sample is the dry one
    // times factor.
    bool pullScaledBy(float factor)
    {
        const long long first = source.frame;
        std::vector<float> block(512);
        if (BASS_ChannelGetData(stream, block.data(), 512 * sizeof(float)) != 512 * sizeof(float))
            return false;
        for (size_t i = 0; i < block.size(); ++i) {
            if (block[i] != sampleAt(first + static_cast<long long>(i / 2), static_cast<int>(i % 2)) * factor)
                return false;
        }
        return true;
    }

    Source source;
    HSTREAM stream = 0;
};

TEST_F(SharedLibraryTest, APluginAttachedThroughTheLibraryProcessesTheChannelUntilDetachedOrFreed)
{
    const uint32_t handle = TALVEN_ChannelSetDSP(stream, plugin.c_str(), 0, 0, 0, 0, 0, nullptr, "Talven");
    ASSERT_NE(handle, 0u);
    EXPECT_TRUE(pullScaledBy(0.5f)); // the probe's default gain
    EXPECT_EQ(TALVEN_GetBypass(handle), 0);
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    EXPECT_TRUE(pullScaledBy(1.0f));
    ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_TRUE(pullScaledBy(0.5f));

    EXPECT_EQ(TALVEN_ChannelRemoveDSP(stream, handle), 1);
    EXPECT_TRUE(pullScaledBy(1.0f));
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(stream, handle), 0);

    const uint32_t again = TALVEN_ChannelSetDSPEx(stream, plugin.c_str(), 0, 0, nullptr, 0, 0, 0, 0, 0, nullptr,
                                                  "Talven");
    EXPECT_EQ(again, handle + 1);
    EXPECT_TRUE(pullScaledBy(0.5f));
    EXPECT_EQ(TALVEN_ChannelFree(stream), 1);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, again), 0);
    EXPECT_EQ(TALVEN_GetBypass(again), 0);
    EXPECT_EQ(TALVEN_ChannelFree(stream), 0);
}

// The trace file of the current directory, whole ("" when there is none).
std::string traceText()
{
    std::string text;
    if (FILE* file = std::fopen("my_log.txt", "rb")) {
        char chunk[4096];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            text.append(chunk, got);
        std::fclose(file);
    }
    return text;
}

TEST_F(SharedLibraryTest, SwitchingTheTraceOffStopsEveryLineUntilItIsSwitchedOnAgain)
{
    const uint32_t handle = TALVEN_ChannelSetDSP(stream, plugin.c_str(), 0, 0, 0, 0, 0, nullptr, "Talven");
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(TALVEN_SetTrace(0), 1);
    EXPECT_EQ(TALVEN_SetTrace(0), 0);
    const std::string before = traceText();
    EXPECT_TRUE(pullScaledBy(0.5f));
    EXPECT_EQ(TALVEN_SetBypass(handle, 1), 1);
    EXPECT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_EQ(traceText(), before);

    EXPECT_EQ(TALVEN_SetTrace(5), 0);
    EXPECT_TRUE(pullScaledBy(0.5f));
    const std::string after = traceText();
    ASSERT_GT(after.size(), before.size());
    EXPECT_NE(after.find("processAudio: start>>>", before.size()), std::string::npos);
    EXPECT_EQ(TALVEN_SetTrace(1), 1);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(stream, handle), 1);
}

TEST_F(SharedLibraryTest, BadArgumentsAreAnsweredWithZero)
{
    EXPECT_EQ(TALVEN_ChannelSetDSP(stream, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(TALVEN_ChannelSetDSP(stream, "no such plug-in", 0, 0, 0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(TALVEN_ChannelSetDSP(0, plugin.c_str(), 0, 0, 0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, 0), 0);
    EXPECT_EQ(TALVEN_GetBypass(12345), 0);
    EXPECT_EQ(TALVEN_ChannelFree(0), 0);
    EXPECT_TRUE(pullScaledBy(1.0f));
}

} // namespace
