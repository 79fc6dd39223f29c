#pragma once

#include "talven.h"

#include <cstdint>

namespace talven {

// Queues the events of a TALVEN_StreamEvents call for the plug-in under
// handle: the number taken, or -1 (unknown handle, no event input, bad mode,
// null events with a length, a malformed event). Any thread.
std::int32_t sendEventsTo(std::uint32_t handle, std::uint32_t mode, const void* events, std::uint32_t length);

} // namespace talven
