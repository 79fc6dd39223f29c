#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <vector>

namespace Steinberg {
namespace Vst {

// ProcessData whose bus records and channel pointer arrays (and, for a
// positive buffer length, the channel buffers) it owns. prepare builds them
// from the component's audio buses and keeps them while the layout stays
// the same, so that a steady stream of equal blocks allocates nothing.
class HostProcessData : public ProcessData {
public:
    HostProcessData();
    ~HostProcessData();
    HostProcessData(const HostProcessData&) = delete;
    HostProcessData& operator=(const HostProcessData&) = delete;

    // Lays out one AudioBusBuffers per audio bus of each direction. Each bus
    // gets channelsPerBus channels, or the count the component reports when
    // channelsPerBus is negative. With bufferSamples > 0 every channel gets a
    // zeroed buffer of that many samples of symbolicSampleSize (kSample32 or
    // kSample64); with 0 only the pointer arrays are made and the caller
    // points them at its own buffers. Rebuilds only when something changed.
    // Returns false for a bad sample size or a negative length.
    bool prepare(IComponent& component, int32 bufferSamples, int32 symbolicSampleSize,
                 int32 channelsPerBus = -1);
    // Frees every bus record and buffer; the data then describes no bus.
    void unprepare();
    bool ownsChannelBuffers() const { return ownsBuffers_; }

private:
    struct Direction {
        std::vector<AudioBusBuffers> buses;
        std::vector<std::vector<void*>> channelPointers; // one array per bus
        std::vector<std::vector<double>> storage;        // one buffer per channel, when owned
    };

    bool layoutMatches(IComponent& component, int32 bufferSamples, int32 symbolicSampleSize) const;
    static bool busesMatch(IComponent& component, BusDirection direction, const Direction& buses);
    void build(IComponent& component, BusDirection direction, Direction& buses, int32 channelsPerBus);
    void publish();

    Direction in_;
    Direction out_;
    int32 bufferSamples_ = 0;
    bool ownsBuffers_ = false;
};

} // namespace Vst
} // namespace Steinberg
