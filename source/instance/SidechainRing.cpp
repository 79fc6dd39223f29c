#include "instance/SidechainRing.h"

#include <cstring>

namespace talven {

SidechainRing::SidechainRing(std::int32_t capacityFrames, std::int32_t channels)
    : capacity_(capacityFrames), channels_(channels),
      samples_(std::make_unique<float[]>(static_cast<std::size_t>(capacityFrames) * static_cast<std::size_t>(channels)))
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
    const std::uint64_t cap = static_cast<std::uint64_t>(capacity_);
    const std::uint64_t written = written_.load(std::memory_order_relaxed);
    std::uint64_t end = written + static_cast<std::uint64_t>(count);
    std::uint64_t readAt = read_.load(std::memory_order_acquire);
    for (;;) {
        // The frames a copy in progress reads stay as they are: the block
        // keeps what fits before them. A reader claiming after the read
        // position seen here starts at or beyond it, where the block does
        // not reach; the claim that set it announced its copy before.
        const std::uint64_t copyFrom = copyFrom_.load(std::memory_order_acquire);
        if (copyFrom != kNoCopy)
            end = std::min(end, copyFrom + cap);
        if (end <= written)
            return;
        // No room: the oldest frames go, unless the reader took them
        // meanwhile (then its claim is looked at again).
        if (end - readAt <= cap ||
            read_.compare_exchange_weak(readAt, end - cap, std::memory_order_acq_rel, std::memory_order_acquire))
            break;
    }
    const std::size_t chans = static_cast<std::size_t>(channels_);
    const std::size_t slot = static_cast<std::size_t>(written % cap);
    const std::size_t frameCount = static_cast<std::size_t>(end - written);
    const std::size_t first = std::min(frameCount, static_cast<std::size_t>(cap) - slot);
    float* const ring = samples_.get();
    std::memcpy(ring + slot * chans, frames, first * chans * sizeof(float));
    if (first < frameCount)
        std::memcpy(ring, frames + first * chans, (frameCount - first) * chans * sizeof(float));
    written_.store(end, std::memory_order_release);
}

void SidechainRing::plan(std::uint64_t readAt, std::uint64_t written, std::int32_t count, std::int64_t keepAtMost,
                         std::uint64_t& start, std::uint64_t& taken)
{
    const std::uint64_t wanted = static_cast<std::uint64_t>(std::max<std::int32_t>(count, 0));
    const std::uint64_t keep = static_cast<std::uint64_t>(std::max<std::int64_t>(keepAtMost, 0)) + wanted;
    start = written - readAt > keep ? written - keep : readAt;
    taken = std::min<std::uint64_t>(written - start, wanted);
}

std::int32_t SidechainRing::read(float* target, std::int32_t count, std::int64_t keepAtMost)
{
    const std::size_t chans = static_cast<std::size_t>(channels_);
    return readRuns(count, keepAtMost, [&](const float* run, std::size_t into, std::size_t frames) {
        std::memcpy(target + into * chans, run, frames * chans * sizeof(float));
    });
}

std::int64_t SidechainRing::available() const
{
    const std::uint64_t readAt = read_.load(std::memory_order_acquire);
    return static_cast<std::int64_t>(written_.load(std::memory_order_acquire) - readAt);
}

} // namespace talven
