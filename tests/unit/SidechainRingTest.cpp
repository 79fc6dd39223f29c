// The side-chain ring: on one thread, what a reader gets back after a series
// of writes and reads, across the wrap, on overflow and when catching up; on
// two, that a reader racing a writer that keeps overflowing the ring gets
// whole frames, oldest first, never one overwritten under its copy.
#include "instance/SidechainRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace talven {
namespace {

// One step: write `count` frames (the next numbers in sequence), or read
// up to `count` keeping at most `keep` older frames; a read expects the
// frame numbers it gets back.
struct Step {
    bool write;
    std::int32_t count;
    std::int64_t keep;
    std::vector<float> expected;
};

struct RingCase {
    const char* what;
    std::int32_t capacity;
    std::vector<Step> steps;
};

constexpr std::int64_t kAll = SidechainRing::kUnbounded;

TEST(SidechainRingTest, ReadsGiveTheFramesWrittenOldestFirstDroppingTheOldestWhenFull)
{
    const RingCase cases[] = {
        {"empty gives nothing", 4, {{false, 3, kAll, {}}}},
        {"in order", 8, {{true, 3, 0, {}}, {false, 2, kAll, {0, 1}}, {false, 5, kAll, {2}}}},
        {"across the wrap", 4,
         {{true, 3, 0, {}}, {false, 3, kAll, {0, 1, 2}}, {true, 3, 0, {}}, {false, 4, kAll, {3, 4, 5}}}},
        {"full drops the oldest", 4, {{true, 3, 0, {}}, {true, 3, 0, {}}, {false, 8, kAll, {2, 3, 4, 5}}}},
        {"a block longer than the ring keeps its end", 4, {{true, 6, 0, {}}, {false, 8, kAll, {2, 3, 4, 5}}}},
        {"catching up keeps the newest", 8, {{true, 6, 0, {}}, {false, 2, 0, {4, 5}}, {false, 2, kAll, {}}}},
        {"catching up keeps what the reader allows", 8, {{true, 6, 0, {}}, {false, 2, 1, {3, 4}}, {false, 2, kAll, {5}}}},
    };
    for (const RingCase& c : cases) {
        SCOPED_TRACE(c.what);
        SidechainRing ring(c.capacity, 1);
        float next = 0;
        for (const Step& step : c.steps) {
            if (step.write) {
                std::vector<float> frames;
                for (std::int32_t i = 0; i < step.count; ++i)
                    frames.push_back(next++);
                ring.write(frames.data(), step.count);
                continue;
            }
            std::vector<float> target(static_cast<size_t>(step.count), -1.0f);
            const std::int32_t got = ring.read(target.data(), step.count, step.keep);
            target.resize(static_cast<size_t>(got));
            EXPECT_EQ(target, step.expected);
        }
    }
}

TEST(SidechainRingTest, InterleavedFramesKeepTheirChannelsTogether)
{
    SidechainRing ring(3, 2);
    const float first[] = {0, 10, 1, 11};
    const float second[] = {2, 12, 3, 13};
    ring.write(first, 2);
    ring.write(second, 2); // one frame over: frame 0 goes
    float out[6] = {};
    ASSERT_EQ(ring.read(out, 3, kAll), 3);
    EXPECT_EQ(std::vector<float>(out, out + 6), (std::vector<float>{1, 11, 2, 12, 3, 13}));
}

TEST(SidechainRingTest, AReaderRacingAnOverflowingWriterGetsWholeFramesInOrder)
{
    // A small ring, so that the writer laps the reader all the time. Frame n
    // holds 2n and 2n + 1 (exact in a float up to 2^24).
    SidechainRing ring(64, 2);
    constexpr int kBlocks = 60000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<float> block;
        float next = 0;
        for (int b = 0; b < kBlocks; ++b) {
            const std::int32_t count = 1 + b % 37 + (b % 5 == 0 ? 64 : 0);
            block.clear();
            for (std::int32_t i = 0; i < count; ++i, ++next) {
                block.push_back(2 * next);
                block.push_back(2 * next + 1);
            }
            ring.write(block.data(), count);
        }
        done.store(true);
    });
    float last = -1;
    std::int64_t frames = 0;
    std::int32_t size = 1;
    std::vector<float> target(2 * 48);
    bool ordered = true;
    for (bool finished = false; !finished;) {
        finished = done.load();
        size = size % 48 + 1;
        // A copy that stops halfway, as a preempted reader's would.
        const std::int32_t got = ring.readRuns(size, size % 3 == 0 ? 0 : kAll,
                                               [&](const float* run, std::size_t into, std::size_t count) {
                                                   // count frames are 2 * count samples.
                                                   float* out = target.data() + 2 * into;
                                                   std::copy(run, run + count, out);
                                                   std::this_thread::yield();
                                                   std::copy(run + count, run + 2 * count, out + count);
                                               });
        for (std::int32_t i = 0; i < got && ordered; ++i) {
            const float left = target[2 * static_cast<size_t>(i)];
            const float right = target[2 * static_cast<size_t>(i) + 1];
            ordered = right == left + 1 && left > last;
            EXPECT_TRUE(ordered) << "frame " << left / 2 << " after " << last / 2 << ", right " << right;
            last = left;
        }
        frames += got;
    }
    writer.join();
    EXPECT_GT(frames, 0);
}

} // namespace
} // namespace talven
