#include "bass.h"
#include "engine_fixture.h"
#include "wav_writer.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <stdio.h>
#else
#include <sndfile.h>
#endif

using namespace basstest;

using FileStream = EngineTest;

namespace {

// Every sample of a decode channel, as float.
std::vector<float> readAllAsFloat(HSTREAM s) {
    std::vector<float> all;
    std::vector<float> block(333);
    for (;;) {
        const DWORD got = BASS_ChannelGetData(s, block.data(), DWORD(block.size() * sizeof(float)) | BASS_DATA_FLOAT);
        if (got == DWORD(-1))
            break;
        all.insert(all.end(), block.begin(), block.begin() + got / sizeof(float));
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    return all;
}

struct WidthCase {
    const char *name;
    std::uint16_t bits;
    bool isFloat;
    std::vector<double> stored;   // as written to the file
    std::vector<float> expected;  // as float, in the same order
};

std::vector<WidthCase> widthCases() {
    return {
        {"u8", 8, false, {0, 128, 255, 1, 200}, {-1.0f, 0.0f, 127 / 128.0f, -127 / 128.0f, 72 / 128.0f}},
        {"s16", 16, false, {-32768, 32767, 0, 1, -1234}, {-1.0f, 32767 / 32768.0f, 0.0f, 1 / 32768.0f, -1234 / 32768.0f}},
        {"s24", 24, false, {-8388608, 8388607, 0, -1, 12345},
         {-1.0f, 8388607 / 8388608.0f, 0.0f, -1 / 8388608.0f, 12345 / 8388608.0f}},
        {"s32", 32, false, {-2147483648.0, 2147483647.0, 0, -256, 196608},
         {-1.0f, 1.0f, 0.0f, -256 / 2147483648.0f, 196608 / 2147483648.0f}},
        {"f32", 32, true, {-1.5, 0.25, 0.001, 3.0, -0.0}, {-1.5f, 0.25f, 0.001f, 3.0f, -0.0f}},
    };
}

} // namespace

TEST_F(FileStream, DecodesEveryPcmWidthAndFloatPlainOrExtensibleWithAnyChannelCount) {
    for (const WidthCase &c : widthCases()) {
        for (bool extensible : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (extensible ? " extensible" : " plain"));
            WavLayout layout;
            layout.chans = 3;
            layout.rate = 22050;
            layout.bits = c.bits;
            layout.isFloat = c.isFloat;
            layout.extensible = extensible;
            std::vector<double> stored;
            std::vector<float> expected;
            for (int i = 0; i < 3 * 40; ++i) { // 40 frames of 3 channels
                stored.push_back(c.stored[i % c.stored.size()]);
                expected.push_back(c.expected[i % c.expected.size()]);
            }
            writeWav("widths.wav", layout, stored);
            const HSTREAM s = BASS_StreamCreateFile(FALSE, "widths.wav", 0, 0, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE);
            ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
            BASS_CHANNELINFO info{};
            ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
            EXPECT_EQ(info.freq, 22050u);
            EXPECT_EQ(info.chans, 3u);
            EXPECT_EQ(info.ctype, DWORD(c.isFloat ? BASS_CTYPE_STREAM_WAV_FLOAT : BASS_CTYPE_STREAM_WAV_PCM));
            EXPECT_EQ(info.origres, c.isFloat ? DWORD(32 | BASS_ORIGRES_FLOAT) : DWORD(c.bits));
            EXPECT_EQ(BASS_ChannelGetLength(s, BASS_POS_BYTE), QWORD(40 * 3 * sizeof(float)));
            EXPECT_EQ(readAllAsFloat(s), expected);
            BASS_StreamFree(s);
        }
    }
}

TEST_F(FileStream, IsSixteenBitUnlessAskedForFloatOrEightBitsAndReportsItsFile) {
    WavLayout layout;
    layout.chans = 1;
    layout.bits = 32;
    layout.isFloat = true;
    writeWav("levels.wav", layout, {0.5, -0.5, 1.0, -1.0, 2.0, 0.25});

    const HSTREAM s16 = BASS_StreamCreateFile(FALSE, "levels.wav", 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(s16, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s16, &info));
    EXPECT_EQ(info.flags & (BASS_SAMPLE_FLOAT | BASS_SAMPLE_8BITS), 0u);
    ASSERT_NE(info.filename, nullptr);
    EXPECT_STREQ(info.filename, "levels.wav");
    EXPECT_EQ(BASS_ChannelGetLength(s16, BASS_POS_BYTE), 12u);
    std::int16_t words[6];
    ASSERT_EQ(BASS_ChannelGetData(s16, words, sizeof words), sizeof words);
    EXPECT_EQ(std::vector<std::int16_t>(words, words + 6),
              (std::vector<std::int16_t>{16384, -16384, 32767, -32768, 32767, 8192}));

    const HSTREAM s8 = BASS_StreamCreateFile(FALSE, "levels.wav", 0, 0, BASS_SAMPLE_8BITS | BASS_STREAM_DECODE);
    ASSERT_NE(s8, 0u);
    std::uint8_t bytes[6];
    ASSERT_EQ(BASS_ChannelGetData(s8, bytes, sizeof bytes), sizeof bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 6), (std::vector<std::uint8_t>{192, 64, 255, 0, 255, 160}));

    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "levels.wav", 0, 0, BASS_SAMPLE_8BITS | BASS_SAMPLE_FLOAT), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
}

TEST_F(FileStream, MalformedWavFilesFailWithFileFormAndMissingOnesWithFileOpen) {
    WavLayout good;
    const std::string fmt = formatChunk(good);
    const std::string data = chunk("data", std::string(16, '\0'), 16);
    WavLayout noChannels;
    noChannels.chans = 0;
    WavLayout twelveBits;
    twelveBits.bits = 12;
    WavLayout halfFloat;
    halfFloat.bits = 16;
    halfFloat.isFloat = true;
    std::string badAlign = fmt;
    badAlign[12] = 3; // block align 3 for two 16-bit channels
    std::string unknownSubtype = formatChunk(WavLayout{2, 44100, 16, false, true});
    unknownSubtype[30] = 0x11;
    const std::vector<std::pair<const char *, std::string>> broken = {
        {"no fmt", data},
        {"no data", chunk("fmt ", fmt, fmt.size())},
        {"short fmt", chunk("fmt ", fmt.substr(0, 14), 14) + data},
        {"fmt past the end", chunk("fmt ", fmt, 4000)},
        {"no channels", chunk("fmt ", formatChunk(noChannels), 16) + data},
        {"12 bits", chunk("fmt ", formatChunk(twelveBits), 16) + data},
        {"16-bit float", chunk("fmt ", formatChunk(halfFloat), 16) + data},
        {"block align", chunk("fmt ", badAlign, 16) + data},
        {"unknown subtype", chunk("fmt ", unknownSubtype, 40) + data},
    };
    for (const auto &file : broken) {
        SCOPED_TRACE(file.first);
        writeRiff("broken.wav", file.second);
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, "broken.wav", 0, 0, BASS_STREAM_DECODE), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    }
    std::ofstream("text.wav") << "this is not a sound file, only some words in a row\n";
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "text.wav", 0, 0, BASS_SAMPLE_FLOAT), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    std::ofstream("empty.wav").close();
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "empty.wav", 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "missing.wav", 0, 0, BASS_SAMPLE_FLOAT), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(FileStream, ADataChunkLongerThanTheFileGivesWhatIsThere) {
    // What a writer that never finished leaves behind: the size still open.
    const std::string samples = sampleBytes(WavLayout{}, {1, 2, 3, 4, 5, 6, 7});
    writeRiff("cut.wav", chunk("fmt ", formatChunk(WavLayout{}), 16) + chunk("data", samples, 0xFFFFFFFFu));
    const HSTREAM s = BASS_StreamCreateFile(FALSE, "cut.wav", 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetLength(s, BASS_POS_BYTE), 12u); // three whole frames; the odd sample is dropped
    std::int16_t words[8];
    EXPECT_EQ(BASS_ChannelGetData(s, words, sizeof words), 12u);
    EXPECT_EQ(words[5], 6);
}

TEST_F(FileStream, PlayingWithRestartRewindsTheFile) {
    writeCountingWav("short.wav", 1, 100);
    std::atomic<int> frames{0};
    const ScopedStream s(BASS_StreamCreateFile(FALSE, "short.wav", 0, 0, 0));
    ASSERT_NE(s, 0u);
    auto count = [](HDSP, DWORD, void *, DWORD length, void *user) {
        *static_cast<std::atomic<int> *>(user) += int(length / sizeof(std::int16_t));
    };
    ASSERT_NE(BASS_ChannelSetDSP(s, count, &frames, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(waitUntil([&] { return frames == 100; }));
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), 200u);
    ASSERT_TRUE(BASS_ChannelPlay(s, TRUE));
    EXPECT_TRUE(waitUntil([&] { return frames == 200; }));
}

#ifdef _WIN32

TEST_F(FileStream, TakesAWidePathWithBassUnicode) {
    writeCountingWav("ascii.wav", 2, 10);
    const wchar_t *wide = L"t\u00e4st \u65e5\u672c.wav";
    _wremove(wide);
    ASSERT_EQ(_wrename(L"ascii.wav", wide), 0);
    const HSTREAM s = BASS_StreamCreateFile(FALSE, wide, 0, 0, BASS_UNICODE | BASS_STREAM_DECODE);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_TRUE(info.flags & BASS_UNICODE);
    EXPECT_STREQ(reinterpret_cast<const wchar_t *>(info.filename), wide);
    EXPECT_EQ(BASS_ChannelGetLength(s, BASS_POS_BYTE), 40u);
}

#else

TEST_F(FileStream, RefusesAWidePathOnLinux) {
    writeCountingWav("plain.wav", 2, 10);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, L"plain.wav", 0, 0, BASS_UNICODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

namespace {

// Writes interleaved float frames through libsndfile; channel c of frame n
// is (n - 500) / 1000 + c / 4.
std::vector<float> writeWithSndfile(const std::string &path, int chans, int frames, int format) {
    std::vector<float> samples(static_cast<size_t>(chans) * frames);
    for (int n = 0; n < frames; ++n)
        for (int c = 0; c < chans; ++c)
            samples[static_cast<size_t>(n) * chans + c] = (n - 500) / 1000.0f + c / 4.0f;
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = chans;
    info.format = format;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file) {
        EXPECT_EQ(sf_writef_float(file, samples.data(), frames), frames);
        sf_close(file);
    }
    return samples;
}

} // namespace

TEST_F(FileStream, ReadsWavFilesLibsndfileWritesAndOtherFormatsThroughIt) {
    const std::vector<float> wav = writeWithSndfile("sndfile.wav", 2, 1000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const HSTREAM w = BASS_StreamCreateFile(FALSE, "sndfile.wav", 0, 0, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE);
    ASSERT_NE(w, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(readAllAsFloat(w), wav);

    const std::vector<float> aiff = writeWithSndfile("sndfile.aiff", 3, 700, SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
    const HSTREAM a = BASS_StreamCreateFile(FALSE, "sndfile.aiff", 0, 0, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE);
    ASSERT_NE(a, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(a, &info));
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_AIFF));
    EXPECT_EQ(BASS_ChannelGetLength(a, BASS_POS_BYTE), QWORD(700 * 3 * sizeof(float)));
    ASSERT_TRUE(BASS_ChannelSetPosition(a, 650 * 3 * sizeof(float), BASS_POS_BYTE));
    EXPECT_EQ(readAllAsFloat(a), std::vector<float>(aiff.begin() + 650 * 3, aiff.end()));
}

#endif
