#include "bass.h"
#include "engine_fixture.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace basstest;

namespace {

const std::int16_t kPattern16[] = {0, 1, -1, 16384, -16384, 32767, -32768, 12345};
const std::uint8_t kPattern8[] = {128, 0, 255, 1, 192, 64, 127, 129};

// A STREAMPROC repeating a pattern of samples of type T, wherever a block
// starts.
template <class T> struct Pattern {
    const T *values;
    std::size_t count;
    std::size_t next = 0;

    static DWORD CALLBACK proc(HSTREAM, void *buffer, DWORD length, void *user) {
        auto &p = *static_cast<Pattern *>(user);
        auto *out = static_cast<T *>(buffer);
        for (DWORD i = 0; i < length / sizeof(T); ++i)
            out[i] = p.values[p.next++ % p.count];
        return length;
    }
};

template <class T, std::size_t N> Pattern<T> patternOf(const T (&values)[N]) {
    return Pattern<T>{values, N};
}

float float16(std::int16_t s) {
    return s / 32768.0f;
}

float float8(std::uint8_t u) {
    return (u - 128) / 128.0f;
}

// Pulls `frames` stereo frames of T (the channel's format) and checks them
// against the pattern, then the same as float.
template <class T, std::size_t N>
void expectPatternDelivered(HSTREAM s, const T (&pattern)[N], float (*asFloat)(T)) {
    std::vector<T> block(2 * N);
    // A request that is not whole frames is rounded down.
    const DWORD bytes = static_cast<DWORD>(block.size() * sizeof(T));
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), bytes + 2 * sizeof(T) - 1), bytes);
    for (std::size_t i = 0; i < block.size(); ++i)
        ASSERT_EQ(block[i], pattern[i % N]) << "sample " << i;

    std::vector<float> floats(2 * N);
    const DWORD floatBytes = static_cast<DWORD>(floats.size() * sizeof(float));
    ASSERT_EQ(BASS_ChannelGetData(s, floats.data(), floatBytes | BASS_DATA_FLOAT), floatBytes);
    for (std::size_t i = 0; i < floats.size(); ++i)
        ASSERT_EQ(floats[i], asFloat(pattern[i % N])) << "sample " << i;
}

// What each DSP call saw: its length and its fourth sample, read both as
// 16-bit and as float (the pattern's fourth sample is not silence).
struct DspView {
    std::vector<DWORD> lengths;
    std::vector<std::int16_t> fourth16;
    std::vector<float> fourthFloat;
};

void CALLBACK recordView(HDSP, DWORD, void *buffer, DWORD length, void *user) {
    auto &view = *static_cast<DspView *>(user);
    view.lengths.push_back(length);
    std::int16_t s = 0;
    float f = 0;
    std::memcpy(&s, static_cast<char *>(buffer) + 3 * sizeof s, sizeof s);
    std::memcpy(&f, static_cast<char *>(buffer) + 3 * sizeof f, sizeof f);
    view.fourth16.push_back(s);
    view.fourthFloat.push_back(f);
}

// Switches float DSP to `value` on its `atCall`-th call (0-based).
struct Toggle {
    int atCall;
    DWORD value;
    int calls = 0;
};

void CALLBACK toggleFloatDsp(HDSP, DWORD, void *, DWORD, void *user) {
    auto &t = *static_cast<Toggle *>(user);
    if (t.calls++ == t.atCall)
        BASS_SetConfig(BASS_CONFIG_FLOATDSP, t.value);
}

// Overwrites a float block with fixed values, repeated.
const float kOutOfRange[] = {1.5f, -1.5f, 0.5f, -0.25f, 1.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.1f};

void CALLBACK writeOutOfRange(HDSP, DWORD, void *buffer, DWORD length, void *) {
    auto *samples = static_cast<float *>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i)
        samples[i] = kOutOfRange[i % 8];
}

void CALLBACK leaveAlone(HDSP, DWORD, void *, DWORD, void *) {}

} // namespace

using IntegerStream = EngineTest;

TEST_F(IntegerStream, SixteenBitIsTheDefaultAndDeliversTheStreamProcsSamplesAsIntegersOrFloat) {
    auto source = patternOf(kPattern16);
    const HSTREAM s = BASS_StreamCreate(48000, 2, BASS_STREAM_DECODE, Pattern<std::int16_t>::proc, &source);
    ASSERT_NE(s, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.flags & (BASS_SAMPLE_FLOAT | BASS_SAMPLE_8BITS), 0u);
    EXPECT_EQ(info.origres, 0u);
    expectPatternDelivered(s, kPattern16, float16);
}

TEST_F(IntegerStream, EightBitDeliversUnsignedSamplesAsIntegersOrFloat) {
    auto source = patternOf(kPattern8);
    const HSTREAM s =
        BASS_StreamCreate(48000, 2, BASS_SAMPLE_8BITS | BASS_STREAM_DECODE, Pattern<std::uint8_t>::proc, &source);
    ASSERT_NE(s, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.flags & (BASS_SAMPLE_FLOAT | BASS_SAMPLE_8BITS), DWORD(BASS_SAMPLE_8BITS));
    expectPatternDelivered(s, kPattern8, float8);
}

TEST_F(IntegerStream, ContradictoryOrEmptyFormatsAndSpecialProcsAreRefused) {
    EXPECT_EQ(BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_SAMPLE_8BITS, silence, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    EXPECT_EQ(BASS_StreamCreate(48000, 0, 0, silence, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    EXPECT_EQ(BASS_StreamCreate(48000, 65536, 0, silence, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    EXPECT_EQ(BASS_StreamCreate(48000, 2, 0, STREAMPROC_PUSH, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

using FloatDsp = EngineTest;

TEST_F(FloatDsp, DspsSeeTheChannelsFormatUnlessFloatDspIsOnAndAChangeTakesEffectAtTheNextBlock) {
    auto source = patternOf(kPattern16);
    const HSTREAM s = BASS_StreamCreate(48000, 2, BASS_STREAM_DECODE, Pattern<std::int16_t>::proc, &source);
    Toggle offAtThirdBlock{2, FALSE};
    DspView view;
    ASSERT_NE(BASS_ChannelSetDSP(s, toggleFloatDsp, &offAtThirdBlock, 2), 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, recordView, &view, 1), 0u);
    std::int16_t block[32 * 2];

    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    // The first DSP switches float DSP off; the rest of this block stays float.
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);

    EXPECT_EQ(view.lengths, (std::vector<DWORD>{32 * 2 * 2, 32 * 2 * 4, 32 * 2 * 4, 32 * 2 * 2}));
    EXPECT_EQ(view.fourth16[0], kPattern16[3]);
    EXPECT_EQ(view.fourthFloat[1], float16(kPattern16[3]));
    EXPECT_EQ(view.fourth16[3], kPattern16[3]);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_FLOATDSP), DWORD(FALSE));
}

TEST_F(FloatDsp, EightBitChannelsDspsGetBytesOrFloat) {
    auto source = patternOf(kPattern8);
    const HSTREAM s =
        BASS_StreamCreate(48000, 1, BASS_SAMPLE_8BITS | BASS_STREAM_DECODE, Pattern<std::uint8_t>::proc, &source);
    DspView view;
    ASSERT_NE(BASS_ChannelSetDSP(s, recordView, &view, 0), 0u);
    std::uint8_t block[16];
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    EXPECT_EQ(view.lengths, (std::vector<DWORD>{16, 16 * 4}));
    EXPECT_EQ(view.fourthFloat[1], float8(kPattern8[3]));
}

TEST_F(FloatDsp, FloatChannelsAlwaysGiveFloat) {
    const HSTREAM s = decodeStream(2);
    DspView view;
    ASSERT_NE(BASS_ChannelSetDSP(s, recordView, &view, 0), 0u);
    float block[8 * 2];
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    EXPECT_EQ(view.lengths, (std::vector<DWORD>{sizeof block, sizeof block}));
}

TEST_F(FloatDsp, TheRoundTripThroughFloatKeepsEverySampleAndClipsWhatADspPushesOutOfRange) {
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    auto source16 = patternOf(kPattern16);
    const HSTREAM s16 = BASS_StreamCreate(48000, 2, BASS_STREAM_DECODE, Pattern<std::int16_t>::proc, &source16);
    const HDSP passive = BASS_ChannelSetDSP(s16, leaveAlone, nullptr, 0);
    ASSERT_NE(passive, 0u);
    std::int16_t block16[8];
    ASSERT_EQ(BASS_ChannelGetData(s16, block16, sizeof block16), sizeof block16);
    EXPECT_EQ(std::vector<std::int16_t>(block16, block16 + 8), std::vector<std::int16_t>(kPattern16, kPattern16 + 8));

    ASSERT_TRUE(BASS_ChannelRemoveDSP(s16, passive));
    ASSERT_NE(BASS_ChannelSetDSP(s16, writeOutOfRange, nullptr, 0), 0u);
    ASSERT_EQ(BASS_ChannelGetData(s16, block16, sizeof block16), sizeof block16);
    // NaN becomes silence; 0.1 rounds to the nearest step.
    EXPECT_EQ(std::vector<std::int16_t>(block16, block16 + 8),
              (std::vector<std::int16_t>{32767, -32768, 16384, -8192, 32767, -32768, 0, 3277}));

    auto source8 = patternOf(kPattern8);
    const HSTREAM s8 =
        BASS_StreamCreate(48000, 2, BASS_SAMPLE_8BITS | BASS_STREAM_DECODE, Pattern<std::uint8_t>::proc, &source8);
    ASSERT_NE(BASS_ChannelSetDSP(s8, writeOutOfRange, nullptr, 0), 0u);
    std::uint8_t block8[8];
    ASSERT_EQ(BASS_ChannelGetData(s8, block8, sizeof block8), sizeof block8);
    EXPECT_EQ(std::vector<std::uint8_t>(block8, block8 + 8),
              (std::vector<std::uint8_t>{255, 0, 192, 96, 255, 0, 128, 141}));
}

TEST(EngineConfig, FloatDspReadsBackAsSetWithoutInitAndUnknownOptionsFailWithIllType) {
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_FLOATDSP), DWORD(FALSE));
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, 5));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_FLOATDSP), DWORD(TRUE));
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, FALSE));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_FLOATDSP), DWORD(FALSE));

    const DWORD kConfigBuffer = 0;
    EXPECT_FALSE(BASS_SetConfig(kConfigBuffer, 500));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_EQ(BASS_GetConfig(12345), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);

    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_SetConfig", BASS_ERROR_UNKNOWN));
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_UNKNOWN);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_FLOATDSP), DWORD(FALSE)); // the failed call changed nothing
    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_GetConfig", BASS_ERROR_UNKNOWN));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_FLOATDSP), DWORD(-1));
}
