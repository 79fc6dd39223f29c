#pragma once

#include <cstdint>
#include <vector>

namespace talven {

// The planar copy of one interleaved block: per channel, the dry input and
// the output, which starts as the dry input so that a channel the plug-in
// does not produce stays dry. Storage keeps the largest size seen, so a block
// no larger than an earlier one allocates nothing.
// Used on the audio thread under the instance lock.
class ChannelBuffers {
public:
    // Lays out channels x frames; allocates only when that exceeds every
    // earlier layout. May throw std::bad_alloc.
    void prepare(std::int32_t channels, std::int32_t frames);
    // Copies the interleaved block into inputs and outputs alike.
    void deinterleave(const float* block);
    // Writes outputs back into the interleaved block, whole frames only.
    void interleave(float* block) const;

    float* const* inputs() const { return inputs_.data(); }
    float* const* outputs() const { return outputs_.data(); }
    std::int32_t numInputs() const { return numChannels_; }
    std::int32_t numOutputs() const { return numChannels_; }
    std::int32_t numFrames() const { return numFrames_; }

private:
    std::vector<float> inputStorage_;
    std::vector<float> outputStorage_;
    std::vector<float*> inputs_;
    std::vector<float*> outputs_;
    std::int32_t numChannels_ = 0;
    std::int32_t numFrames_ = 0;
};

} // namespace talven
