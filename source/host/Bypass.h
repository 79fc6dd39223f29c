#pragma once

#include <cstdint>

namespace talven {

// Switches the instance's plug-in into bypass (request non-zero) or back to
// processing, under the instance lock. 1 on success; 0 for a handle that
// names no attached, processing instance, or when the plug-in refused the
// switch. Caller's thread.
std::int32_t setBypass(std::uint32_t handle, std::int32_t request);

} // namespace talven
