#include "bass.h"
#include "engine_fixture.h"
#include "wav_writer.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using namespace basstest;

namespace {

constexpr DWORD kDecodePos = BASS_POS_BYTE | BASS_POS_DECODE;

// Where each block a DSP saw starts, derived the way the library does: the
// decoding position (just after the block) minus the block's frames.
struct BlockStarts {
    DWORD frameBytes = 4;    // of the channel's own format
    DWORD dspFrameBytes = 4; // of what the DSP gets
    std::mutex mutex;
    std::vector<QWORD> starts;
    std::vector<int> firstSamples; // 16-bit channels: the block's first sample
    std::atomic<int> calls{0};
    std::atomic<int> inconsistent{0};
};

void CALLBACK recordStart(HDSP, DWORD channel, void *buffer, DWORD length, void *user) {
    auto &b = *static_cast<BlockStarts *>(user);
    const QWORD pos = BASS_ChannelGetPosition(channel, kDecodePos);
    const QWORD frames = length / b.dspFrameBytes;
    std::lock_guard<std::mutex> lock(b.mutex);
    b.starts.push_back(pos / b.frameBytes - frames);
    if (b.dspFrameBytes == b.frameBytes && b.frameBytes == 4)
        b.firstSamples.push_back(static_cast<const std::int16_t *>(buffer)[0]);
    ++b.calls;
}

// For a counting file (sample = frame number on the left): the block must be
// contiguous frames starting where the position says.
void CALLBACK checkCountingBlock(HDSP, DWORD channel, void *buffer, DWORD length, void *user) {
    auto &b = *static_cast<BlockStarts *>(user);
    const QWORD pos = BASS_ChannelGetPosition(channel, kDecodePos);
    const auto *samples = static_cast<const std::int16_t *>(buffer);
    const DWORD frames = length / 4;
    const QWORD start = pos / 4 - frames;
    for (DWORD i = 0; i < frames; ++i)
        if (samples[2 * i] != static_cast<std::int16_t>(start + i))
            ++b.inconsistent;
    ++b.calls;
}

HSTREAM openDecoding(const char *path, DWORD flags = 0) {
    return BASS_StreamCreateFile(FALSE, path, 0, 0, flags | BASS_STREAM_DECODE);
}

} // namespace

using Position = EngineTest;

TEST_F(Position, AdvancesByTheFramesDeliveredCountedInBytesOfTheChannelsOwnFormat) {
    const HSTREAM s = BASS_StreamCreate(48000, 2, BASS_STREAM_DECODE, silence, nullptr);
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), 0u);
    std::vector<std::int16_t> block(100 * 2);
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), 400), 400u);
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), 400u);
    EXPECT_EQ(BASS_ChannelGetPosition(s, kDecodePos), 400u);

    // 50 frames as float are 400 bytes delivered but 200 bytes of the channel.
    std::vector<float> floats(50 * 2);
    ASSERT_EQ(BASS_ChannelGetData(s, floats.data(), 400 | BASS_DATA_FLOAT), 400u);
    EXPECT_EQ(BASS_ChannelGetPosition(s, kDecodePos), 600u);

    // Float DSP does not change what a position counts.
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    ASSERT_NE(BASS_ChannelSetDSP(s, [](HDSP, DWORD, void *, DWORD, void *) {}, nullptr, 0), 0u);
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), 40), 40u);
    EXPECT_EQ(BASS_ChannelGetPosition(s, kDecodePos), 640u);

    const HSTREAM mono8 = BASS_StreamCreate(8000, 1, BASS_SAMPLE_8BITS | BASS_STREAM_DECODE, silence, nullptr);
    ASSERT_EQ(BASS_ChannelGetData(mono8, block.data(), 7), 7u);
    EXPECT_EQ(BASS_ChannelGetPosition(mono8, BASS_POS_BYTE), 7u);
}

TEST_F(Position, OtherModesAreNotAvailableAndAFreedChannelHasNoPosition) {
    const HSTREAM s = decodeStream();
    const DWORD kPosMusicOrder = 1, kPosRelative = 0x4000000;
    EXPECT_EQ(BASS_ChannelGetPosition(s, kPosMusicOrder), QWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    writeCountingWav("modes.wav", 2, 100);
    const HSTREAM file = openDecoding("modes.wav");
    EXPECT_FALSE(BASS_ChannelSetPosition(file, 0, BASS_POS_BYTE | kPosRelative));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    ASSERT_TRUE(BASS_ChannelFree(s));
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), QWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_ChannelGetPosition", BASS_ERROR_UNKNOWN));
    EXPECT_EQ(BASS_ChannelGetPosition(file, BASS_POS_BYTE), QWORD(-1));
    EXPECT_EQ(BASS_ChannelGetPosition(file, BASS_POS_BYTE), 0u);
}

TEST_F(Position, ADspSeesThePositionJustAfterTheBlockItProcesses) {
    const HSTREAM s = BASS_StreamCreate(48000, 2, BASS_STREAM_DECODE, silence, nullptr);
    BlockStarts blocks;
    ASSERT_NE(BASS_ChannelSetDSP(s, recordStart, &blocks, 0), 0u);
    std::vector<std::int16_t> block(64 * 2);
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), 256), 256u);
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), 128), 128u);
    // With float DSP the length counts float bytes; the position does not.
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE));
    blocks.dspFrameBytes = 8;
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), 256), 256u);
    EXPECT_EQ(blocks.starts, (std::vector<QWORD>{0, 64, 96}));
}

TEST_F(Position, ADspOnThePlayingThreadSeesBlocksFollowOneAnother) {
    BlockStarts blocks;
    const ScopedStream s(BASS_StreamCreate(8000, 2, 0, silence, nullptr));
    ASSERT_NE(BASS_ChannelSetDSP(s, recordStart, &blocks, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));
    ASSERT_TRUE(waitUntil([&] { return blocks.calls >= 4; }));
    ASSERT_TRUE(BASS_ChannelStop(s));
    std::lock_guard<std::mutex> lock(blocks.mutex);
    for (std::size_t i = 0; i < blocks.starts.size(); ++i)
        EXPECT_EQ(blocks.starts[i], 80 * i) << "block " << i; // 10 ms periods at 8000 Hz
}

using Seek = EngineTest;

TEST_F(Seek, MovesWhatTheNextBlocksDspSeesAndWhatGetDataDelivers) {
    writeCountingWav("count.wav", 2, 5000);
    const HSTREAM s = openDecoding("count.wav");
    ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
    BlockStarts blocks;
    ASSERT_NE(BASS_ChannelSetDSP(s, recordStart, &blocks, 0), 0u);
    std::vector<std::int16_t> block(100 * 2);
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), 400), 400u);

    ASSERT_TRUE(BASS_ChannelSetPosition(s, 1234 * 4 + 3, BASS_POS_BYTE)); // rounded down to a frame
    EXPECT_EQ(BASS_ChannelGetPosition(s, kDecodePos), 1234u * 4);
    ASSERT_EQ(BASS_ChannelGetData(s, block.data(), 400), 400u);
    EXPECT_EQ(block[0], 1234);
    EXPECT_EQ(block[1], 2234);
    EXPECT_EQ(block[199], 1333 + 1000);
    EXPECT_EQ(blocks.starts, (std::vector<QWORD>{0, 1234}));
    EXPECT_EQ(blocks.firstSamples, (std::vector<int>{0, 1234}));

    ASSERT_TRUE(BASSTEST_FailNextCall("BASS_ChannelSetPosition", BASS_ERROR_UNKNOWN));
    EXPECT_FALSE(BASS_ChannelSetPosition(s, 0, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_UNKNOWN);
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), 1334u * 4); // the failed call moved nothing
}

TEST_F(Seek, ReachesTheEndButNotBeyondAndAnEndedStreamGoesOnAfterASeek) {
    writeCountingWav("end.wav", 2, 300);
    const HSTREAM s = openDecoding("end.wav");
    ASSERT_EQ(BASS_ChannelGetLength(s, BASS_POS_BYTE), 1200u);
    EXPECT_FALSE(BASS_ChannelSetPosition(s, 1204, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), 0u);

    ASSERT_TRUE(BASS_ChannelSetPosition(s, 1200, BASS_POS_BYTE));
    std::int16_t block[8];
    EXPECT_EQ(BASS_ChannelGetData(s, block, sizeof block), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
    ASSERT_TRUE(BASS_ChannelSetPosition(s, 296 * 4, BASS_POS_BYTE | BASS_POS_DECODE));
    EXPECT_EQ(BASS_ChannelGetData(s, block, sizeof block), 16u);
    EXPECT_EQ(block[6], 299);
}

TEST_F(Seek, CountsInTheChannelsFormatOnAFloatOrEightBitFileStream) {
    writeCountingWav("formats.wav", 2, 1000);
    const HSTREAM f = openDecoding("formats.wav", BASS_SAMPLE_FLOAT);
    ASSERT_EQ(BASS_ChannelGetLength(f, BASS_POS_BYTE), 1000u * 8);
    ASSERT_TRUE(BASS_ChannelSetPosition(f, 700 * 8, BASS_POS_BYTE));
    float frame[2];
    ASSERT_EQ(BASS_ChannelGetData(f, frame, sizeof frame), sizeof frame);
    EXPECT_EQ(frame[0], 700 / 32768.0f);
    EXPECT_EQ(BASS_ChannelGetPosition(f, BASS_POS_BYTE), 701u * 8);

    const HSTREAM b = openDecoding("formats.wav", BASS_SAMPLE_8BITS);
    ASSERT_EQ(BASS_ChannelGetLength(b, BASS_POS_BYTE), 1000u * 2);
    ASSERT_TRUE(BASS_ChannelSetPosition(b, 999 * 2, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(b, BASS_POS_BYTE), 999u * 2);
}

namespace {

// Seeks its own channel to frame 3000 on its first call.
void CALLBACK seekOnFirstCall(HDSP, DWORD channel, void *, DWORD, void *user) {
    auto &calls = *static_cast<int *>(user);
    if (calls++ == 0)
        BASS_ChannelSetPosition(channel, 3000 * 4, BASS_POS_BYTE);
}

} // namespace

TEST_F(Seek, FromInsideItsOwnDspTakesEffectFromTheNextBlock) {
    writeCountingWav("inside.wav", 2, 5000);
    const HSTREAM s = openDecoding("inside.wav");
    int calls = 0;
    ASSERT_NE(BASS_ChannelSetDSP(s, seekOnFirstCall, &calls, 1), 0u);
    std::int16_t block[64 * 2];
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    EXPECT_EQ(block[2 * 63], 63); // this block is delivered as decoded
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), 3000u * 4);
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    EXPECT_EQ(block[0], 3000);
}

TEST_F(Seek, OfAUserStreamFailsWithNotFile) {
    const HSTREAM s = BASS_StreamCreate(48000, 2, BASS_STREAM_DECODE, silence, nullptr);
    std::int16_t block[8];
    ASSERT_EQ(BASS_ChannelGetData(s, block, sizeof block), sizeof block);
    EXPECT_FALSE(BASS_ChannelSetPosition(s, 0, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTFILE);
    EXPECT_EQ(BASS_ChannelGetPosition(s, BASS_POS_BYTE), sizeof block);
    EXPECT_FALSE(BASS_ChannelSetPosition(12345, 0, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

using SeekRace = EngineTest;

TEST_F(SeekRace, SeeksFromAnotherThreadNeverSplitAPlayingChannelsBlock) {
    writeCountingWav("race.wav", 2, 20000, 8000);
    BlockStarts blocks;
    const ScopedStream s(BASS_StreamCreateFile(FALSE, "race.wav", 0, 0, 0));
    ASSERT_NE(s, 0u);
    ASSERT_NE(BASS_ChannelSetDSP(s, checkCountingBlock, &blocks, 0), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(s, FALSE));

    std::atomic<bool> seeking{true};
    std::atomic<int> badPositions{0};
    std::thread reader([&] {
        while (seeking)
            if (BASS_ChannelGetPosition(s, BASS_POS_BYTE) % 4 != 0)
                ++badPositions;
    });
    for (int i = 0; i < 300; ++i) {
        const QWORD frame = (i * 7919) % 10000; // stays well before the end
        EXPECT_TRUE(BASS_ChannelSetPosition(s, frame * 4, BASS_POS_BYTE));
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const int callsAfterSeeks = blocks.calls;
    EXPECT_TRUE(waitUntil([&] { return blocks.calls >= callsAfterSeeks + 3; }));
    seeking = false;
    reader.join();
    EXPECT_EQ(blocks.inconsistent, 0);
    EXPECT_EQ(badPositions, 0);
}

TEST_F(SeekRace, SeeksFromAnotherThreadWaitForADecodingChannelsBlockInProgress) {
    writeCountingWav("pull.wav", 2, 20000);
    const HSTREAM s = openDecoding("pull.wav");
    BlockStarts blocks;
    ASSERT_NE(BASS_ChannelSetDSP(s, checkCountingBlock, &blocks, 0), 0u);
    std::atomic<bool> pulling{true};
    std::atomic<int> splitBlocks{0};
    std::thread puller([&] {
        std::vector<std::int16_t> block(97 * 2);
        while (pulling) {
            const DWORD got = BASS_ChannelGetData(s, block.data(), DWORD(block.size() * 2));
            for (DWORD i = 1; got != DWORD(-1) && i < got / 4; ++i)
                if (block[2 * i] != block[0] + static_cast<std::int16_t>(i))
                    ++splitBlocks;
        }
    });
    // Keep seeking until both sides have had plenty of turns.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; (i < 300 || blocks.calls < 300) && std::chrono::steady_clock::now() < deadline; ++i)
        EXPECT_TRUE(BASS_ChannelSetPosition(s, QWORD((i * 104729) % 19000) * 4, BASS_POS_BYTE));
    pulling = false;
    puller.join();
    EXPECT_GE(blocks.calls, 300);
    EXPECT_EQ(blocks.inconsistent, 0);
    EXPECT_EQ(splitBlocks, 0);
}
