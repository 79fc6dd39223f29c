#pragma once

#include "registry/BassApi.h"

#include <cstdint>

namespace talven {

class PluginInstance;

// The instance handle travels to BASS as the channel-freed sync's user value.
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

// One block of length bytes of the instance's channel through its plug-in,
// in place: whole frames of 32-bit floats of the channel count fixed at
// attach; a partial frame at the end stays as it is. False when nothing was
// written (bypassed, not float data, no plug-in, processing off, or the
// plug-in refused the block), the block then as it was. Writes the block's
// trace lines. Audio thread; takes the instance lock, nothing else.
bool processAudio(PluginInstance& instance, float* block, DWORD length) noexcept;

// BASS's DSP function for an attached instance; user is the PluginInstance,
// kept alive by the attachment's hold for as long as the DSP is set.
// BASS's DSP thread (its mixing thread, or the thread pulling a decode channel).
void CALLBACK dspCallback(HDSP dsp, DWORD channel, void* buffer, DWORD length, void* user);

// BASS's stream procedure for an instrument's stream: each request of
// length bytes is silence rendered by the instrument (silence alone while it
// is bypassed or cannot play). Never ends the stream. user is the
// PluginInstance, kept alive by the attachment's hold until the stream's
// freed sync has run, which BASS runs only after a block in progress.
// BASS's thread rendering the stream (its mixing thread, or the thread
// pulling a decode stream).
DWORD CALLBACK instrumentStreamProc(HSTREAM stream, void* buffer, DWORD length, void* user);

// BASS's channel-freed sync: the channel is gone, so the instance stops
// processing, forgets the channel and gives up the attachment hold. user is
// the instance handle. The thread that frees the channel.
void CALLBACK syncCallback(HSYNC sync, DWORD channel, DWORD data, void* user);

} // namespace talven
