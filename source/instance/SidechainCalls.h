#pragma once

#include <cstdint>

namespace talven {

// Feeds BASS channel `channel` (after its DSPs above `priority`) into the
// first auxiliary input bus of the plug-in under handle; channel 0 removes
// the side-chain. False with nothing changed: unknown or detached handle, no
// auxiliary input, a channel BASS does not know, the plug-in's own channel,
// another sample rate, 16-bit or 8-bit data without BASS's float DSP.
// Caller's thread, no lock held.
bool setSidechainFor(std::uint32_t handle, std::uint32_t channel, std::int32_t priority);

} // namespace talven
