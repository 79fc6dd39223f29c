#include "registry/BassCallbacks.h"

#include "host/ProcessAudio.h"
#include "registry/Attachment.h"
#include "registry/RecordHold.h"

namespace talven {

void CALLBACK dspCallback(HDSP, DWORD channel, void* buffer, DWORD length, void* user)
{
    const std::uint32_t handle = handleOfUserValue(user);
    RecordHold hold(handle);
    PluginInstance* record = hold.get();
    if (!record || !buffer || record->bypass.load() != 0)
        return;
    // An integer channel's data is float only while float DSP is on: a block
    // arriving after it was switched off holds 8- or 16-bit samples.
    if (!record->floatChannel && !floatDspOn())
        return;
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(channel, &info);
    if (info.chans == 0)
        return;
    // Whole frames of 32-bit samples; a partial frame at the end stays as it is.
    const DWORD frames = length / info.chans / sizeof(float);
    if (frames == 0)
        return;
    processAudio(static_cast<float*>(buffer), static_cast<std::int32_t>(info.chans),
                 static_cast<std::int32_t>(frames), *record);
}

void CALLBACK syncCallback(HSYNC, DWORD, DWORD, void* user)
{
    const std::uint32_t handle = handleOfUserValue(user);
    if (handle == 0)
        return;
    RecordHold hold(handle);
    PluginInstance* record = hold.get();
    if (!record)
        return;
    // Every later BASS call with the channel would fail: forget it, so that
    // neither the detach nor the destruction makes one.
    // No lock: a block in progress has finished before BASS reports the
    // free, and the plug-in is switched off when the instance goes.
    record->processing = false;
    record->channel = 0;
    record->dspHandle = 0;
    releaseAttachment(*record);
}

} // namespace talven
