#include "instance/SidechainFeed.h"

#include "registry/BassApi.h"

#include "pluginterfaces/vst/vsttypes.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace talven {
namespace {

void CALLBACK feedDsp(HDSP, DWORD, void* buffer, DWORD length, void* user)
{
    static_cast<SidechainFeed*>(user)->push(buffer, static_cast<std::uint32_t>(length));
}

void CALLBACK feedFreed(HSYNC, DWORD, DWORD, void* user)
{
    static_cast<SidechainFeed*>(user)->channelFreed();
}

// Frames of the ring, where they lie, onto the auxiliary bus's planar
// buffers from frame `into` on, in one pass per shape: channels in order
// where both have them, a mono side-chain on every bus channel, the mean of
// a wider one on a mono bus. Bus channels beyond the side-chain's are
// zeroed by the caller.
template <typename Sample>
struct BusWriter {
    void* const* buffers;
    std::int32_t busChannels;
    std::int32_t channels;

    Sample* bus(std::int32_t b, std::size_t into) const { return static_cast<Sample*>(buffers[b]) + into; }

    void operator()(const float* run, std::size_t into, std::size_t frames) const
    {
        if (channels == 1) {
            Sample* first = bus(0, into);
            for (std::size_t j = 0; j < frames; ++j)
                first[j] = static_cast<Sample>(run[j]);
            for (std::int32_t b = 1; b < busChannels; ++b)
                std::memcpy(bus(b, into), first, frames * sizeof(Sample));
        } else if (busChannels == 1) {
            // Summed from 0 in channel order, then scaled: the same to the
            // bit as the general loop below.
            Sample* out = bus(0, into);
            const float scale = 1.0f / static_cast<float>(channels);
            if (channels == 2) {
                for (std::size_t j = 0; j < frames; ++j)
                    out[j] = static_cast<Sample>((0.0f + run[2 * j] + run[2 * j + 1]) * scale);
                return;
            }
            const std::size_t step = static_cast<std::size_t>(channels);
            for (std::size_t j = 0; j < frames; ++j, run += step) {
                float sum = 0;
                for (std::size_t c = 0; c < step; ++c)
                    sum += run[c];
                out[j] = static_cast<Sample>(sum * scale);
            }
        } else if (channels == 2) {
            Sample* left = bus(0, into);
            Sample* right = bus(1, into);
            for (std::size_t j = 0; j < frames; ++j) {
                left[j] = static_cast<Sample>(run[2 * j]);
                right[j] = static_cast<Sample>(run[2 * j + 1]);
            }
        } else {
            const std::size_t step = static_cast<std::size_t>(channels);
            for (std::int32_t b = 0; b < std::min(channels, busChannels); ++b) {
                Sample* out = bus(b, into);
                const float* in = run + b;
                for (std::size_t j = 0; j < frames; ++j, in += step)
                    out[j] = static_cast<Sample>(*in);
            }
        }
    }
};

template <typename Sample>
std::int32_t readOntoBus(SidechainRing& ring, std::int32_t count, std::int64_t keep, void* const* buffers,
                         std::int32_t busChannels)
{
    const std::int32_t channels = ring.channels();
    const std::int32_t got = ring.readRuns(count, keep, BusWriter<Sample>{buffers, busChannels, channels});
    // Silence where the ring ran dry, and on bus channels it has nothing for.
    const std::int32_t fed = channels == 1 || busChannels == 1 ? busChannels : std::min(channels, busChannels);
    for (std::int32_t b = 0; b < busChannels; ++b) {
        const std::int32_t from = b < fed ? got : 0;
        if (from < count)
            std::memset(static_cast<Sample*>(buffers[b]) + from, 0,
                        static_cast<std::size_t>(count - from) * sizeof(Sample));
    }
    return got;
}

} // namespace

SidechainFeed::SidechainFeed(std::uint32_t channel, std::int32_t channels, std::int32_t maxFrames)
    : channel_(channel), ring_(kCapacityFrames, channels), maxFrames_(maxFrames)
{
}

SidechainFeed::~SidechainFeed()
{
    disconnect();
}

void SidechainFeed::disconnect() noexcept
{
    // After the free sync the handles mean nothing: BASS dropped both.
    if (channelGone_.load())
        return;
    // BASS waits for a call of the DSP in progress on another thread; the
    // DSP takes no lock, so this cannot wait on anything of the library's.
    if (dsp_ != 0)
        BASS_ChannelRemoveDSP(channel_, std::exchange(dsp_, 0));
    if (sync_ != 0)
        BASS_ChannelRemoveSync(channel_, std::exchange(sync_, 0));
}

bool SidechainFeed::connect(std::int32_t priority)
{
    sync_ = BASS_ChannelSetSync(channel_, BASS_SYNC_FREE, 0, feedFreed, this);
    if (sync_ == 0)
        return false;
    dsp_ = BASS_ChannelSetDSP(channel_, feedDsp, this, priority);
    return dsp_ != 0;
}

void SidechainFeed::push(const void* block, std::uint32_t bytes)
{
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(ring_.channels()) * sizeof(float);
    ring_.write(static_cast<const float*>(block), static_cast<std::int32_t>(bytes / frameBytes));
}

void SidechainFeed::fill(void* const* buffers, std::int32_t busChannels, std::int32_t count, bool wide)
{
    count = std::min(count, maxFrames_);
    // The first block after a (re)start hears only the newest frames, so a
    // playing side-chain that ran on meanwhile is not late from then on.
    const std::int64_t keep = catchUp_ ? 0 : SidechainRing::kUnbounded;
    catchUp_ = false;
    if (wide)
        readOntoBus<Steinberg::Vst::Sample64>(ring_, count, keep, buffers, busChannels);
    else
        readOntoBus<Steinberg::Vst::Sample32>(ring_, count, keep, buffers, busChannels);
}

} // namespace talven
