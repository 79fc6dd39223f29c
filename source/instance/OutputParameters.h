#pragma once

#include "pluginterfaces/vst/vsttypes.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace talven {

// The latest value the processor reported back for each parameter (its
// output parameter changes: meters, gain reduction, values it moved itself),
// waiting to reach the controller. The audio thread stores without a lock or
// an allocation; a program or editor thread takes what changed. Only the
// latest value of a parameter counts: a meter read at 30 Hz needs no history.
class OutputParameters {
public:
    // Slots for these parameter ids (the controller's, in any order); what
    // the processor reports for other ids is dropped. At attach, before the
    // DSP is set and the handle handed out; or on a spare object that
    // adopt() then swaps in. May throw std::bad_alloc.
    void prepare(std::vector<Steinberg::Vst::ParamID> ids);

    // True when both have slots for exactly the same ids. The thread that
    // prepares or adopts (one at a time).
    bool sameIdsAs(const OutputParameters& other) const;

    // Swaps the slots with those of fresh (prepared for the plug-in's new
    // parameter list); values stored and not yet taken move along for the ids
    // both have. Caller holds the instance lock, so that no block stores
    // meanwhile, and lets fresh (now the old slots) go after releasing it.
    // Never the audio thread; one adopter at a time.
    void adopt(OutputParameters& fresh) noexcept;

    // Audio thread: notes value as the latest of id.
    void store(Steinberg::Vst::ParamID id, double value) noexcept;

    // Hands each value stored since the last take to deliver, once, and
    // returns how many. Any thread but the audio thread; two threads taking
    // at once each get distinct values. deliver runs with no lock held.
    // May throw std::bad_alloc.
    std::size_t take(const std::function<void(Steinberg::Vst::ParamID, double)>& deliver);

private:
    struct Slot {
        Steinberg::Vst::ParamID id = 0;
        std::atomic<double> value{0};
        std::atomic<bool> changed{false};
    };

    Slot* find(Steinberg::Vst::ParamID id) const noexcept;

    // The audio thread reads slots_ and count_ under the instance lock, the
    // takers under slotsLock_; adopt() changes them under both.
    std::unique_ptr<Slot[]> slots_; // sorted by id
    std::size_t count_ = 0;
    std::atomic<bool> anyChanged_{false};
    std::mutex slotsLock_;
};

} // namespace talven
