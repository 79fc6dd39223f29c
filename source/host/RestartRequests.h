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

    // Any thread, the audio thread included: one atomic operation. On the
    // thread of a Cycle of these requests, the flags are noted for the cycle
    // instead.
    void request(std::int32_t flags);
    // Cheap check for the service points.
    bool any() const { return pending_.load(std::memory_order_acquire) != 0; }
    // The flags asked for so far, now cleared.
    std::int32_t take() { return pending_.exchange(0, std::memory_order_acq_rel); }

    // Marks the calling thread as carrying out a restart for the length of a
    // scope. What the plug-in asks from inside the calls that thread makes
    // meanwhile (setActive, setupProcessing) is kept apart: the restart may
    // be the very answer to it, and a plug-in asking again from inside every
    // activation must not restart for ever. Requests of other threads stay
    // pending as usual. Not nested.
    class Cycle {
    public:
        explicit Cycle(RestartRequests& requests) noexcept;
        // What was asked from inside and is not among answered stays pending
        // for the next restart.
        ~Cycle();
        Cycle(const Cycle&) = delete;
        Cycle& operator=(const Cycle&) = delete;

        // The flags the restart carried out so far: asking for them again
        // from inside it is answered by it.
        void answered(std::int32_t flags) noexcept { answered_ |= flags; }

    private:
        RestartRequests& requests_;
        std::int32_t answered_ = 0;
    };

private:
    std::atomic<std::int32_t> pending_{0};
    // Written and read on the cycle's thread only.
    std::int32_t askedInCycle_ = 0;
};

} // namespace talven
