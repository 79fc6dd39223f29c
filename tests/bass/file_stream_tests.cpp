#include "bass.h"
#include "engine_fixture.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sndfile.h>
#endif

using namespace basstest;

using FileStream = EngineTest;

#ifndef _WIN32

namespace {

// Writes interleaved float frames where channel c of frame n is
// (n - 500) / 1000 + c / 4, distinct per channel and frame.
std::vector<float> writeWav(const std::string &path, int chans, int frames, int format) {
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

TEST_F(FileStream, DeliversTheFilesSamplesAsFloatUntilTheEnd) {
    const std::vector<float> written = writeWav("float.wav", 2, 1000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const HSTREAM s = BASS_StreamCreateFile(FALSE, "float.wav", 0, 0, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE);
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetLength(s, BASS_POS_BYTE), QWORD(1000 * 2 * sizeof(float)));

    std::vector<float> read;
    std::vector<float> block(300 * 2);
    for (;;) {
        const DWORD got = BASS_ChannelGetData(s, block.data(), DWORD(block.size() * sizeof(float)));
        if (got == DWORD(-1))
            break;
        read.insert(read.end(), block.begin(), block.begin() + got / sizeof(float));
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    EXPECT_EQ(read, written);
}

TEST_F(FileStream, ReportsRateChannelsTypeResolutionAndFilename) {
    writeWav("pcm16.wav", 3, 100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const HSTREAM s = BASS_StreamCreateFile(FALSE, "pcm16.wav", 0, 0, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE);
    ASSERT_NE(s, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s, &info));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 3u);
    EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_WAV_PCM));
    EXPECT_EQ(info.origres, 16u);
    EXPECT_TRUE(info.flags & BASS_SAMPLE_FLOAT);
    ASSERT_NE(info.filename, nullptr);
    EXPECT_STREQ(info.filename, "pcm16.wav");
}

TEST_F(FileStream, PlayingWithRestartRewindsTheFile) {
    writeWav("short.wav", 1, 100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    std::atomic<int> frames{0};
    const ScopedStream s(BASS_StreamCreateFile(FALSE, "short.wav", 0, 0, BASS_SAMPLE_FLOAT));
    ASSERT_NE(s, 0u);
    auto count = [](HDSP, DWORD, void *, DWORD length, void *user) {
        *static_cast<std::atomic<int> *>(user) += int(length / sizeof(float));
    };
    ASSERT_NE(BASS_ChannelSetDSP(s, count, &frames, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(waitUntil([&] { return frames == 100; }));
    ASSERT_TRUE(BASS_ChannelPlay(s, TRUE));
    EXPECT_TRUE(waitUntil([&] { return frames == 200; }));
}

TEST_F(FileStream, MissingFileFailsWithFileOpenAndNonAudioWithFileForm) {
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "missing.wav", 0, 0, BASS_SAMPLE_FLOAT), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    std::ofstream("text.wav") << "this is not a sound file, only some words in a row\n";
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "text.wav", 0, 0, BASS_SAMPLE_FLOAT), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
}

#else

TEST_F(FileStream, IsNotAvailableOnWindows) {
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "any.wav", 0, 0, BASS_SAMPLE_FLOAT), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

#endif
