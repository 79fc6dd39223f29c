#include "host/ChannelBuffers.h"

#include <cstddef>

namespace talven {

void ChannelBuffers::prepare(std::int32_t channels, std::int32_t frames)
{
    if (channels == numChannels_ && frames == numFrames_)
        return;
    const auto channelCount = static_cast<std::size_t>(channels > 0 ? channels : 0);
    const auto frameCount = static_cast<std::size_t>(frames > 0 ? frames : 0);
    // resize within the capacity of an earlier, larger block does not allocate.
    inputStorage_.resize(channelCount * frameCount);
    outputStorage_.resize(channelCount * frameCount);
    inputs_.resize(channelCount);
    outputs_.resize(channelCount);
    for (std::size_t c = 0; c < channelCount; ++c) {
        inputs_[c] = inputStorage_.data() + c * frameCount;
        outputs_[c] = outputStorage_.data() + c * frameCount;
    }
    numChannels_ = static_cast<std::int32_t>(channelCount);
    numFrames_ = static_cast<std::int32_t>(frameCount);
}

void ChannelBuffers::deinterleave(const float* block)
{
    const auto channels = static_cast<std::size_t>(numChannels_);
    const auto frames = static_cast<std::size_t>(numFrames_);
    for (std::size_t c = 0; c < channels; ++c) {
        float* input = inputs_[c];
        float* output = outputs_[c];
        const float* source = block + c;
        for (std::size_t j = 0; j < frames; ++j, source += channels) {
            input[j] = *source;
            output[j] = *source;
        }
    }
}

void ChannelBuffers::interleave(float* block) const
{
    const auto channels = static_cast<std::size_t>(numChannels_);
    const auto frames = static_cast<std::size_t>(numFrames_);
    for (std::size_t c = 0; c < channels; ++c) {
        const float* output = outputs_[c];
        float* target = block + c;
        for (std::size_t j = 0; j < frames; ++j, target += channels)
            *target = output[j];
    }
}

} // namespace talven
