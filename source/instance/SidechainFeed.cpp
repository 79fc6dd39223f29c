#include "instance/SidechainFeed.h"

#include "registry/BassApi.h"

#include "pluginterfaces/vst/vsttypes.h"

#include <algorithm>
#include <cstring>

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

template <typename Sample>
void writeBus(const float* frames, std::int32_t channels, std::int32_t got, std::int32_t count,
              void* const* buffers, std::int32_t busChannels)
{
    for (std::int32_t b = 0; b < busChannels; ++b) {
        auto* out = static_cast<Sample*>(buffers[b]);
        if (channels == 1 || (b < channels && busChannels > 1)) {
            const std::int32_t source = channels == 1 ? 0 : b;
            for (std::int32_t j = 0; j < got; ++j)
                out[j] = static_cast<Sample>(frames[static_cast<std::size_t>(j) * static_cast<std::size_t>(channels) +
                                                    static_cast<std::size_t>(source)]);
        } else if (busChannels == 1) {
            // A wider side-chain on a mono bus: the mean of its channels.
            const float scale = 1.0f / static_cast<float>(channels);
            for (std::int32_t j = 0; j < got; ++j) {
                const float* frame = frames + static_cast<std::size_t>(j) * static_cast<std::size_t>(channels);
                float sum = 0;
                for (std::int32_t c = 0; c < channels; ++c)
                    sum += frame[c];
                out[j] = static_cast<Sample>(sum * scale);
            }
        } else {
            std::memset(out, 0, static_cast<std::size_t>(got) * sizeof(Sample));
        }
        std::memset(out + got, 0, static_cast<std::size_t>(count - got) * sizeof(Sample));
    }
}

} // namespace

SidechainFeed::SidechainFeed(std::uint32_t channel, std::int32_t channels, std::int32_t maxFrames)
    : channel_(channel), ring_(kCapacityFrames, channels),
      frames_(static_cast<std::size_t>(maxFrames) * static_cast<std::size_t>(channels)), maxFrames_(maxFrames)
{
}

SidechainFeed::~SidechainFeed()
{
    // After the free sync the handles mean nothing: BASS dropped both.
    if (channelGone_.load())
        return;
    // BASS waits for a call of the DSP in progress on another thread; the
    // DSP takes no lock, so this cannot wait on anything of the library's.
    if (dsp_ != 0)
        BASS_ChannelRemoveDSP(channel_, dsp_);
    if (sync_ != 0)
        BASS_ChannelRemoveSync(channel_, sync_);
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
    const std::int32_t got = ring_.read(frames_.data(), count, keep);
    if (wide)
        writeBus<Steinberg::Vst::Sample64>(frames_.data(), ring_.channels(), got, count, buffers, busChannels);
    else
        writeBus<Steinberg::Vst::Sample32>(frames_.data(), ring_.channels(), got, count, buffers, busChannels);
}

} // namespace talven
