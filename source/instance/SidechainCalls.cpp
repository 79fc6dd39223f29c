#include "instance/SidechainCalls.h"

#include "instance/BassCallbacks.h"
#include "instance/InstanceHold.h"
#include "instance/InstanceService.h"
#include "registry/BassApi.h"

#include <memory>
#include <new>

namespace talven {

bool setSidechainFor(std::uint32_t handle, std::uint32_t channel, std::int32_t priority)
{
    InstanceHold hold(handle);
    PluginInstance* const instance = hold.get();
    if (!instance || !instance->attached.load())
        return false;
    std::unique_ptr<SidechainFeed> feed;
    if (channel != 0) {
        BASS_CHANNELINFO info{};
        if (!BASS_ChannelGetInfo(channel, &info) || info.chans == 0)
            return false;
        if (channel == instance->channel.load())
            return false;
        if (static_cast<double>(info.freq) != instance->plugin.sampleRate)
            return false;
        if ((info.flags & BASS_SAMPLE_FLOAT) == 0 && !floatDspOn())
            return false;
        try {
            feed = std::make_unique<SidechainFeed>(channel, static_cast<std::int32_t>(info.chans),
                                                   BlockProcessor::kMaxFrames);
        } catch (const std::bad_alloc&) {
            return false;
        }
        // Its DSP fills the ring from now on; the plug-in reads it once the
        // bus is set up. A failure takes off whatever was set.
        if (!feed->connect(priority))
            return false;
    }
    // On success feed holds the side-chain replaced, which goes here with no
    // lock held (its DSP is taken off the channel); on failure, the new one.
    return replaceSidechain(*instance, feed);
}

} // namespace talven
