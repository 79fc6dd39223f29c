// What a run leaves behind: instance handles that still answer, and the
// DSPs and syncs set on live channels, seen through the public exports and
// the engine's test-only count.
#pragma once

#include <cstdint>

namespace talven::validate {

// Notes a handle Talven gave out (0 is ignored). Any thread.
void noteHandle(std::uint32_t handle);

// How many handles Talven gave this process still name an instance.
// TALVEN_ShowEditor(handle, 0, ...) answers 0 only for a handle that names
// none; handles are given out in increasing order, so every number up to
// a little beyond the highest one seen is asked. Call with no instance
// being attached.
std::int64_t liveHandleCount();

// DSPs plus syncs set on every live channel (BASSTEST_GetCallbackCounts),
// or -1 when the engine cannot say.
std::int64_t callbackCount();

} // namespace talven::validate
