#pragma once

#include "instance/SidechainRing.h"

#include <atomic>
#include <cstdint>

namespace talven {

// One side-chain: a DSP on the side-chain channel writes its blocks into a
// ring, and the plug-in's blocks read the same number of frames from it into
// the plug-in's first auxiliary input bus. The ring holds kCapacityFrames;
// a plug-in block finding it empty gets silence, never a wait.
class SidechainFeed {
public:
    // Frames the ring holds: about 0.74 s at 44.1 kHz, room for a decoding
    // side-chain pulled well ahead of its plug-in's channel.
    static constexpr std::int32_t kCapacityFrames = 32768;

    // For channel of `channels` channels, read in blocks of at most
    // maxFrames. Allocates the ring; may throw std::bad_alloc. Sets nothing on
    // the channel yet.
    SidechainFeed(std::uint32_t channel, std::int32_t channels, std::int32_t maxFrames);
    // Takes the DSP and the sync off the channel, if still there.
    ~SidechainFeed();
    // The same, ahead of the destructor (the library's unload). Caller's
    // thread, no lock the plug-in's blocks take.
    void disconnect() noexcept;
    SidechainFeed(const SidechainFeed&) = delete;
    SidechainFeed& operator=(const SidechainFeed&) = delete;

    // Sets the free sync, then the DSP at `priority`. False (nothing left on
    // the channel) when BASS refuses either. Caller's thread, no lock held.
    bool connect(std::int32_t priority);

    std::uint32_t channel() const { return channel_; }

    // Fills `busChannels` planar buffers of the auxiliary bus with `count`
    // frames (at most maxFrames) from the ring, in 32- or 64-bit samples:
    // channels in order where both have them, a mono side-chain on every bus
    // channel, a wider side-chain mixed down onto a mono bus, bus channels
    // beyond the side-chain's silent; silence where the ring ran dry. The
    // first read after start() drops what piled up before it. Audio thread
    // of the plug-in's channel; never allocates or waits.
    void fill(void* const* buffers, std::int32_t busChannels, std::int32_t count, bool wide);
    // The plug-in's blocks begin reading (again): the next fill catches up.
    // Caller's thread, no block of the plug-in in progress.
    void start() { catchUp_ = true; }

    std::int64_t waitingFrames() const { return ring_.available(); }

    // The side-chain channel's DSP: its block of float samples, `bytes` long,
    // into the ring. BASS's thread for that channel.
    void push(const void* block, std::uint32_t bytes);
    // The side-chain channel's free sync: BASS drops the DSP and the sync
    // itself; the ring simply runs dry. The freeing thread.
    void channelFreed() { channelGone_.store(true); }

private:

    std::uint32_t channel_;
    SidechainRing ring_;
    std::int32_t maxFrames_;
    bool catchUp_ = true;
    std::uint32_t dsp_ = 0;
    std::uint32_t sync_ = 0;
    // Set by the free sync: BASS dropped the DSP and the sync with the
    // channel, and its handle means nothing any more.
    std::atomic<bool> channelGone_{false};
};

} // namespace talven
