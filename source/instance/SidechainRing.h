#pragma once

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace talven {

// Interleaved frames from one thread (the side-chain channel's DSP) to
// another (the plug-in's block), without a lock and without a wait. The
// capacity is fixed when the ring is made. When the writer finds no room,
// the oldest frames go; a reader finding too few frames takes what there is.
//
// The samples are plain floats, copied in whole runs. Both ends move the
// read position: the reader claims frames by moving it before it copies
// them, the writer drops the oldest by moving it. So that the writer never
// overwrites frames under a copy, the reader announces the first frame of
// its claim (copyFrom_) before claiming and withdraws it after copying; a
// writer that would reach into those frames (the ring full while the reader
// copies) keeps only as much of its block as fits, and drops the rest.
class SidechainRing {
public:
    // keepAtMost for a reader that drops nothing.
    static constexpr std::int64_t kUnbounded = INT64_MAX / 2;

    // May throw std::bad_alloc. capacityFrames and channels above 0.
    SidechainRing(std::int32_t capacityFrames, std::int32_t channels);

    std::int32_t channels() const { return channels_; }
    std::int32_t capacity() const { return capacity_; }

    // Writer's thread. Appends `frames` frames; of a block longer than the
    // ring only its last capacity() frames are kept.
    void write(const float* frames, std::int32_t count);

    // Reader's thread. Copies up to `count` of the oldest frames into target
    // and consumes them; returns how many. keepAtMost: frames older than the
    // newest keepAtMost + count are dropped first (the reader catching up).
    std::int32_t read(float* target, std::int32_t count, std::int64_t keepAtMost);
    // The same, handing the frames over where they lie instead of copying
    // them out first: consume(run, intoFrame, frames) once for each of at
    // most two runs of whole interleaved frames (run[0] is the first sample
    // of frame intoFrame of the result).
    template <typename Consume>
    std::int32_t readRuns(std::int32_t count, std::int64_t keepAtMost, Consume consume);

    // Frames waiting. Any thread (a snapshot).
    std::int64_t available() const;

private:
    static constexpr std::uint64_t kNoCopy = UINT64_MAX;

    // Where a read of count frames, keeping keepAtMost older ones, starts,
    // from the positions loaded; and how many frames it takes.
    static void plan(std::uint64_t readAt, std::uint64_t written, std::int32_t count, std::int64_t keepAtMost,
                     std::uint64_t& start, std::uint64_t& taken);

    std::int32_t capacity_;
    std::int32_t channels_;
    std::unique_ptr<float[]> samples_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
    // The first frame a copy in progress reads, or kNoCopy.
    std::atomic<std::uint64_t> copyFrom_{kNoCopy};
};

template <typename Consume>
std::int32_t SidechainRing::readRuns(std::int32_t count, std::int64_t keepAtMost, Consume consume)
{
    const std::uint64_t cap = static_cast<std::uint64_t>(capacity_);
    const std::size_t chans = static_cast<std::size_t>(channels_);
    // A writer dropping frames under the claim three times in a row is as
    // good as an empty ring for this block: the reader never waits.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint64_t readAt = read_.load(std::memory_order_acquire);
        const std::uint64_t written = written_.load(std::memory_order_acquire);
        std::uint64_t start = 0;
        std::uint64_t taken = 0;
        plan(readAt, written, count, keepAtMost, start, taken);
        // Released so that a writer seeing it also sees every earlier copy
        // done; the claim below releases it to a writer seeing the claim.
        copyFrom_.store(start, std::memory_order_release);
        if (!read_.compare_exchange_strong(readAt, start + taken, std::memory_order_acq_rel,
                                           std::memory_order_acquire))
            continue;
        const std::size_t slot = static_cast<std::size_t>(start % cap);
        const std::size_t first = static_cast<std::size_t>(std::min<std::uint64_t>(taken, cap - slot));
        if (first > 0)
            consume(samples_.get() + slot * chans, std::size_t{0}, first);
        if (first < taken)
            consume(samples_.get(), first, static_cast<std::size_t>(taken) - first);
        copyFrom_.store(kNoCopy, std::memory_order_release);
        return static_cast<std::int32_t>(taken);
    }
    copyFrom_.store(kNoCopy, std::memory_order_release);
    return 0;
}

} // namespace talven
