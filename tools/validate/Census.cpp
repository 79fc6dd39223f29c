#include "Census.h"

#include "bass.h"
#include "talven.h"

#include <atomic>

namespace talven::validate {
namespace {

std::atomic<std::uint32_t> highestHandle{0};

// Handles made and dropped inside a failed attach are never returned, so
// the probe looks a little past the highest seen.
constexpr std::uint32_t kProbeMargin = 64;

} // namespace

void noteHandle(std::uint32_t handle)
{
    std::uint32_t seen = highestHandle.load();
    while (handle > seen && !highestHandle.compare_exchange_weak(seen, handle)) {
    }
}

std::int64_t liveHandleCount()
{
    const std::uint32_t last = highestHandle.load() + kProbeMargin;
    std::int64_t live = 0;
    for (std::uint32_t handle = 1; handle <= last; ++handle) {
        if (TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr) != 0)
            ++live;
    }
    return live;
}

std::int64_t callbackCount()
{
    DWORD dsps = 0;
    DWORD syncs = 0;
    if (!BASSTEST_GetCallbackCounts(0, &dsps, &syncs))
        return -1;
    return static_cast<std::int64_t>(dsps) + syncs;
}

} // namespace talven::validate
