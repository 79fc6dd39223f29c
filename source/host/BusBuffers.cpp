#include "host/BusBuffers.h"

#include <algorithm>
#include <cstddef>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

template <typename Sample>
Sample* busChannel(const AudioBusBuffers& bus, int32 channel)
{
    if constexpr (sizeof(Sample) == sizeof(Sample64))
        return bus.channelBuffers64 ? bus.channelBuffers64[channel] : nullptr;
    else
        return bus.channelBuffers32 ? bus.channelBuffers32[channel] : nullptr;
}

// Bus 0 takes the block's first channels from source; every other channel
// of every bus gets silence.
template <typename Sample>
void loadDirection(AudioBusBuffers* buses, int32 busCount, float* const* source, int32 sourceChannels,
                   int32 first, int32 count)
{
    const auto frames = static_cast<std::size_t>(count);
    for (int32 b = 0; b < busCount; ++b) {
        const AudioBusBuffers& bus = buses[b];
        for (int32 c = 0; c < bus.numChannels; ++c) {
            Sample* target = busChannel<Sample>(bus, c);
            if (!target)
                continue;
            if (b == 0 && c < sourceChannels)
                std::copy_n(source[c] + first, frames, target);
            else
                std::fill_n(target, frames, Sample(0));
        }
    }
}

template <typename Sample>
void storeDirection(const AudioBusBuffers& bus, float* const* target, int32 targetChannels, int32 first,
                    int32 count)
{
    const int32 channels = std::min(bus.numChannels, targetChannels);
    const auto frames = static_cast<std::size_t>(count);
    for (int32 c = 0; c < channels; ++c) {
        if (const Sample* source = busChannel<Sample>(bus, c)) {
            float* out = target[c] + first;
            for (std::size_t j = 0; j < frames; ++j)
                out[j] = static_cast<float>(source[j]);
        }
    }
}

} // namespace

int32 chooseSampleSize(IAudioProcessor& processor)
{
    const bool takes64 = processor.canProcessSampleSize(kSample64) == kResultOk;
    const bool takes32 = processor.canProcessSampleSize(kSample32) == kResultOk;
    return takes64 && !takes32 ? kSample64 : kSample32;
}

bool prepareBusBuffers(HostProcessData& data, IComponent& component, int32 maxFrames, int32 sampleSize)
{
    return data.prepare(component, maxFrames, sampleSize);
}

void loadBuses(ProcessData& data, const ChannelBuffers& block, int32 first, int32 count)
{
    if (data.symbolicSampleSize == kSample64) {
        loadDirection<Sample64>(data.inputs, data.numInputs, block.inputs(), block.numInputs(), first, count);
        loadDirection<Sample64>(data.outputs, data.numOutputs, block.outputs(), block.numOutputs(), first, count);
    } else {
        loadDirection<Sample32>(data.inputs, data.numInputs, block.inputs(), block.numInputs(), first, count);
        loadDirection<Sample32>(data.outputs, data.numOutputs, block.outputs(), block.numOutputs(), first, count);
    }
}

bool hasMainOutput(const ProcessData& data)
{
    return data.numOutputs > 0 && data.outputs && data.outputs[0].numChannels > 0;
}

void storeMainOutput(const ProcessData& data, ChannelBuffers& block, int32 first, int32 count)
{
    if (!hasMainOutput(data))
        return;
    if (data.symbolicSampleSize == kSample64)
        storeDirection<Sample64>(data.outputs[0], block.outputs(), block.numOutputs(), first, count);
    else
        storeDirection<Sample32>(data.outputs[0], block.outputs(), block.numOutputs(), first, count);
}

} // namespace talven
