#include "host/BusSetup.h"

#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

// The arrangement a bus has now: as the processor states it, else made from
// the channel count the component describes (kEmpty when neither answers).
SpeakerArrangement currentArrangement(IComponent& component, IAudioProcessor& processor, BusDirection direction,
                                      int32 index)
{
    SpeakerArrangement arrangement = SpeakerArr::kEmpty;
    if (processor.getBusArrangement(direction, index, arrangement) == kResultOk)
        return arrangement;
    BusInfo info{};
    if (component.getBusInfo(kAudio, direction, index, info) != kResultOk || info.channelCount <= 0 ||
        info.channelCount >= 64)
        return SpeakerArr::kEmpty;
    // The usual arrangement of that many speakers, else any: only the count
    // matters to the plug-in's own layout being kept.
    const SpeakerArrangement usual = channelArrangement(info.channelCount);
    return usual != SpeakerArr::kEmpty ? usual : (SpeakerArrangement(1) << info.channelCount) - 1;
}

// Bus 0 of a direction takes the channel's layout, the others their own.
std::vector<SpeakerArrangement> wantedArrangements(IComponent& component, IAudioProcessor& processor,
                                                   BusDirection direction, int32 count, SpeakerArrangement main)
{
    std::vector<SpeakerArrangement> arrangements;
    for (int32 index = 0; index < count; ++index)
        arrangements.push_back(index == 0 ? main : currentArrangement(component, processor, direction, index));
    return arrangements;
}

int32 mainChannels(IComponent& component, BusDirection direction, int32 count)
{
    BusInfo info{};
    if (count <= 0 || component.getBusInfo(kAudio, direction, 0, info) != kResultOk)
        return 0;
    return info.channelCount;
}

} // namespace

SpeakerArrangement channelArrangement(int32 channels)
{
    switch (channels) {
    case 1: return SpeakerArr::kMono;
    case 2: return SpeakerArr::kStereo;
    case 3: return SpeakerArr::k30Cine;
    case 4: return SpeakerArr::k40Music;
    case 5: return SpeakerArr::k50;
    case 6: return SpeakerArr::k51;
    case 7: return SpeakerArr::k61Cine;
    case 8: return SpeakerArr::k71Music;
    default: return SpeakerArr::kEmpty;
    }
}

BusFit setUpBuses(IComponent& component, IAudioProcessor& processor, int32 channels)
{
    const int32 inputs = component.getBusCount(kAudio, kInput);
    const int32 outputs = component.getBusCount(kAudio, kOutput);
    const SpeakerArrangement wanted = channelArrangement(channels);
    if (wanted != SpeakerArr::kEmpty && (inputs > 0 || outputs > 0)) {
        std::vector<SpeakerArrangement> in = wantedArrangements(component, processor, kInput, inputs, wanted);
        std::vector<SpeakerArrangement> out = wantedArrangements(component, processor, kOutput, outputs, wanted);
        // A refusal is an answer too: the buses keep what the plug-in
        // accepts, which is read back below and when the blocks are prepared.
        processor.setBusArrangements(in.empty() ? nullptr : in.data(), static_cast<int32>(in.size()),
                                     out.empty() ? nullptr : out.data(), static_cast<int32>(out.size()));
    }
    const int32 inputChannels = mainChannels(component, kInput, inputs);
    const int32 outputChannels = mainChannels(component, kOutput, outputs);
    const bool usable = outputs > 0 ? outputChannels > 0 : inputChannels > 0;
    if (!usable)
        return BusFit::unusable;
    if (inputs > 0)
        component.activateBus(kAudio, kInput, 0, true);
    if (outputs > 0)
        component.activateBus(kAudio, kOutput, 0, true);
    return BusFit::usable;
}

void releaseBuses(IComponent& component)
{
    if (component.getBusCount(kAudio, kInput) > 0)
        component.activateBus(kAudio, kInput, 0, false);
    if (component.getBusCount(kAudio, kOutput) > 0)
        component.activateBus(kAudio, kOutput, 0, false);
}

int32 firstAuxInputBus(IComponent& component)
{
    const int32 count = component.getBusCount(kAudio, kInput);
    for (int32 i = 0; i < count; ++i) {
        BusInfo info{};
        if (component.getBusInfo(kAudio, kInput, i, info) == kResultOk && info.busType == kAux &&
            info.channelCount > 0)
            return i;
    }
    return -1;
}

} // namespace talven
