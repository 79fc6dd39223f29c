#pragma once

#include "registry/BassApi.h"

#include <cstdint>

namespace talven {

// The instance handle travels to BASS as the callbacks' user value.
inline void* userValueOf(std::uint32_t handle)
{
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(handle));
}
inline std::uint32_t handleOfUserValue(void* user)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(user));
}

// True while BASS hands DSP functions float data on every channel
// (BASS_CONFIG_FLOATDSP). Any thread.
inline bool floatDspOn()
{
    const DWORD value = BASS_GetConfig(BASS_CONFIG_FLOATDSP);
    return value != static_cast<DWORD>(-1) && value != 0;
}

// BASS's DSP function for an attached instance: passes each block of the
// channel through the plug-in, in place, unless the instance is bypassed or
// being taken down; any failure leaves the block as BASS gave it.
// BASS's DSP thread (its mixing thread, or the thread pulling a decode channel).
void CALLBACK dspCallback(HDSP dsp, DWORD channel, void* buffer, DWORD length, void* user);

// BASS's channel-freed sync: the channel is gone, so the instance stops
// processing, forgets the channel and gives up the attachment hold.
// The thread that frees the channel.
void CALLBACK syncCallback(HSYNC sync, DWORD channel, DWORD data, void* user);

} // namespace talven
