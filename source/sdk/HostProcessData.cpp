#include "sdk/HostProcessData.h"

namespace Steinberg {
namespace Vst {

HostProcessData::HostProcessData() : ProcessData()
{
}

HostProcessData::~HostProcessData() = default;

bool HostProcessData::prepare(IComponent& component, int32 bufferSamples, int32 symbolicSampleSize,
                              int32 channelsPerBus)
{
    if (bufferSamples < 0 || (symbolicSampleSize != kSample32 && symbolicSampleSize != kSample64))
        return false;
    if (layoutMatches(component, bufferSamples, symbolicSampleSize)) {
        for (auto& bus : in_.buses)
            bus.silenceFlags = 0;
        for (auto& bus : out_.buses)
            bus.silenceFlags = 0;
        return true;
    }
    unprepare();
    this->symbolicSampleSize = symbolicSampleSize;
    bufferSamples_ = bufferSamples;
    ownsBuffers_ = bufferSamples > 0;
    build(component, kInput, in_, channelsPerBus);
    build(component, kOutput, out_, channelsPerBus);
    publish();
    return true;
}

void HostProcessData::unprepare()
{
    in_ = Direction();
    out_ = Direction();
    bufferSamples_ = 0;
    ownsBuffers_ = false;
    publish();
}

bool HostProcessData::layoutMatches(IComponent& component, int32 bufferSamples,
                                    int32 symbolicSampleSize) const
{
    return ownsBuffers_ == (bufferSamples > 0) && bufferSamples_ == bufferSamples &&
           this->symbolicSampleSize == symbolicSampleSize && busesMatch(component, kInput, in_) &&
           busesMatch(component, kOutput, out_);
}

bool HostProcessData::busesMatch(IComponent& component, BusDirection direction, const Direction& buses)
{
    const int32 reported = component.getBusCount(kAudio, direction);
    const int32 count = reported > 0 ? reported : 0;
    if (count != static_cast<int32>(buses.buses.size()))
        return false;
    for (int32 i = 0; i < count; ++i) {
        BusInfo info{};
        if (component.getBusInfo(kAudio, direction, i, info) == kResultOk &&
            info.channelCount != buses.buses[static_cast<size_t>(i)].numChannels)
            return false;
    }
    return true;
}

void HostProcessData::build(IComponent& component, BusDirection direction, Direction& buses,
                            int32 channelsPerBus)
{
    const int32 count = component.getBusCount(kAudio, direction);
    if (count <= 0)
        return;
    const size_t bytesPerSample = symbolicSampleSize == kSample64 ? sizeof(Sample64) : sizeof(Sample32);
    const size_t doublesPerChannel =
        (static_cast<size_t>(bufferSamples_) * bytesPerSample + sizeof(double) - 1) / sizeof(double);
    buses.buses.assign(static_cast<size_t>(count), AudioBusBuffers());
    buses.channelPointers.resize(static_cast<size_t>(count));
    for (int32 i = 0; i < count; ++i) {
        BusInfo info{};
        // A bus the component cannot describe keeps no channels.
        if (component.getBusInfo(kAudio, direction, i, info) != kResultOk)
            continue;
        const int32 channels = channelsPerBus >= 0 ? channelsPerBus : info.channelCount;
        auto& pointers = buses.channelPointers[static_cast<size_t>(i)];
        pointers.assign(static_cast<size_t>(channels > 0 ? channels : 0), nullptr);
        if (ownsBuffers_) {
            for (auto& pointer : pointers) {
                buses.storage.emplace_back(doublesPerChannel, 0.0);
                pointer = buses.storage.back().data();
            }
        }
        buses.buses[static_cast<size_t>(i)].numChannels = static_cast<int32>(pointers.size());
    }
}

// Points the ProcessData fields at the owned arrays; the arrays do not move
// between two prepares.
void HostProcessData::publish()
{
    for (Direction* buses : {&in_, &out_}) {
        for (size_t i = 0; i < buses->buses.size(); ++i) {
            void** pointers = buses->channelPointers[i].empty() ? nullptr : buses->channelPointers[i].data();
            if (symbolicSampleSize == kSample64)
                buses->buses[i].channelBuffers64 = reinterpret_cast<Sample64**>(pointers);
            else
                buses->buses[i].channelBuffers32 = reinterpret_cast<Sample32**>(pointers);
        }
    }
    numInputs = static_cast<int32>(in_.buses.size());
    numOutputs = static_cast<int32>(out_.buses.size());
    inputs = in_.buses.empty() ? nullptr : in_.buses.data();
    outputs = out_.buses.empty() ? nullptr : out_.buses.data();
}

} // namespace Vst
} // namespace Steinberg
