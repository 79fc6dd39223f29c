#include "instance/SidechainRing.h"

#include <algorithm>

namespace talven {
namespace {

// Samples [slot, slot + count) of a ring of total samples, in at most two
// runs without a wrap check per sample.
template <typename Copy>
void forEachRun(std::size_t slot, std::size_t count, std::size_t total, Copy copy)
{
    const std::size_t first = std::min(count, total - slot);
    copy(slot, std::size_t{0}, first);
    if (first < count)
        copy(std::size_t{0}, first, count - first);
}

} // namespace

SidechainRing::SidechainRing(std::int32_t capacityFrames, std::int32_t channels)
    : capacity_(capacityFrames), channels_(channels),
      samples_(std::make_unique<std::atomic<float>[]>(static_cast<std::size_t>(capacityFrames) *
                                                      static_cast<std::size_t>(channels)))
{
}

void SidechainRing::write(const float* frames, std::int32_t count)
{
    if (count <= 0)
        return;
    if (count > capacity_) {
        frames += static_cast<std::size_t>(count - capacity_) * static_cast<std::size_t>(channels_);
        count = capacity_;
    }
    const std::uint64_t written = written_.load(std::memory_order_relaxed);
    const std::uint64_t end = written + static_cast<std::uint64_t>(count);
    std::uint64_t readAt = read_.load(std::memory_order_acquire);
    // No room: the oldest frames go, unless the reader took them meanwhile.
    while (end - readAt > static_cast<std::uint64_t>(capacity_)) {
        if (read_.compare_exchange_weak(readAt, end - static_cast<std::uint64_t>(capacity_),
                                        std::memory_order_acq_rel, std::memory_order_acquire))
            break;
    }
    const std::size_t chans = static_cast<std::size_t>(channels_);
    const std::size_t slot = static_cast<std::size_t>(written % static_cast<std::uint64_t>(capacity_)) * chans;
    const std::size_t total = static_cast<std::size_t>(capacity_) * chans;
    std::atomic<float>* const ring = samples_.get();
    forEachRun(slot, static_cast<std::size_t>(count) * chans, total,
               [&](std::size_t at, std::size_t from, std::size_t n) {
                   for (std::size_t i = 0; i < n; ++i)
                       ring[at + i].store(frames[from + i], std::memory_order_relaxed);
               });
    written_.store(end, std::memory_order_release);
}

std::int32_t SidechainRing::read(float* target, std::int32_t count, std::int64_t keepAtMost)
{
    const std::size_t chans = static_cast<std::size_t>(channels_);
    const std::size_t total = static_cast<std::size_t>(capacity_) * chans;
    // A writer dropping frames under the copy twice in a row is as good as
    // an empty ring for this block: the reader never waits.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint64_t readAt = read_.load(std::memory_order_acquire);
        const std::uint64_t written = written_.load(std::memory_order_acquire);
        const std::uint64_t waiting = written - readAt;
        const std::uint64_t keep = static_cast<std::uint64_t>(std::max<std::int64_t>(keepAtMost, 0)) +
                                   static_cast<std::uint64_t>(std::max<std::int32_t>(count, 0));
        std::uint64_t start = readAt;
        if (waiting > keep)
            start = written - keep;
        const std::uint64_t taken = std::min<std::uint64_t>(written - start, static_cast<std::uint64_t>(count));
        const std::size_t slot = static_cast<std::size_t>(start % static_cast<std::uint64_t>(capacity_)) * chans;
        const std::atomic<float>* const ring = samples_.get();
        forEachRun(slot, static_cast<std::size_t>(taken) * chans, total,
                   [&](std::size_t at, std::size_t into, std::size_t n) {
                       for (std::size_t i = 0; i < n; ++i)
                           target[into + i] = ring[at + i].load(std::memory_order_relaxed);
                   });
        if (read_.compare_exchange_strong(readAt, start + taken, std::memory_order_acq_rel,
                                          std::memory_order_acquire))
            return static_cast<std::int32_t>(taken);
    }
    return 0;
}

std::int64_t SidechainRing::available() const
{
    const std::uint64_t readAt = read_.load(std::memory_order_acquire);
    return static_cast<std::int64_t>(written_.load(std::memory_order_acquire) - readAt);
}

} // namespace talven
