#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <cstdint>

namespace talven {

// The restarts a plug-in asked for (restartComponent) and the host has not
// carried out yet. The request only leaves a mark, on whatever thread the
// plug-in calls from (the audio thread, its editor, inside setActive): the
// re-set-up runs later, on a thread of the program's or the editor's, where
// it may switch the plug-in off and on again (instance/InstanceService).
// Shared by the instance and its component handler, which may outlive it.
class RestartRequests {
public:
    // What needs the plug-in switched off, its buses asked again, and
    // switched on again: VST 3 hosts read a new latency only after a new
    // activation.
    static constexpr std::int32_t kResetFlags =
        Steinberg::Vst::kLatencyChanged | Steinberg::Vst::kIoChanged | Steinberg::Vst::kReloadComponent;

    // Any thread, the audio thread included: one atomic operation.
    void request(std::int32_t flags) { pending_.fetch_or(flags & kResetFlags, std::memory_order_acq_rel); }
    // Cheap check for the service points.
    bool any() const { return pending_.load(std::memory_order_acquire) != 0; }
    // The flags asked for so far, now cleared.
    std::int32_t take() { return pending_.exchange(0, std::memory_order_acq_rel); }

private:
    std::atomic<std::int32_t> pending_{0};
};

} // namespace talven
