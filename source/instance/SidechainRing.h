#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>

namespace talven {

// Interleaved frames from one thread (the side-chain channel's DSP) to
// another (the plug-in's block), without a lock and without a wait. The
// capacity is fixed when the ring is made. When the writer finds no room,
// the oldest frames go; a reader finding too few frames takes what there is.
//
// Both ends move the read position: the reader after copying, the writer
// when it drops the oldest frames. A reader whose copy overlapped such a
// drop finds the read position moved under it and copies again. The samples
// are relaxed atomics so that such an overlap is no data race.
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

    // Frames waiting. Any thread (a snapshot).
    std::int64_t available() const;

private:
    std::int32_t capacity_;
    std::int32_t channels_;
    std::unique_ptr<std::atomic<float>[]> samples_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
};

} // namespace talven
