#pragma once

#include "pluginterfaces/vst/vsttypes.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace Steinberg {
namespace Vst {

class ParameterChanges;

// A ring of parameter edits from any number of writer threads (the
// controller's performEdit, TALVEN_SetParam) to one reader thread (the audio
// side), without a lock on either side. A writer claims a slot by advancing
// the reserve position with a compare-and-swap, fills it and then marks it
// ready; the reader takes slots in order and stops at the first one not yet
// ready, so a change is never seen half written. One slot always stays free,
// so a ring of N entries holds N - 1 unread changes; a change added while it
// is full is lost.
class ParameterChangeTransfer {
public:
    explicit ParameterChangeTransfer(int32 maxChanges = 0);
    ParameterChangeTransfer(const ParameterChangeTransfer&) = delete;
    ParameterChangeTransfer& operator=(const ParameterChangeTransfer&) = delete;

    // Replaces the ring by an empty one of maxChanges entries (none for 0 or
    // less). Only while neither side uses the transfer.
    void setMaxParameters(int32 maxChanges);
    int32 getSize() const { return size_; }

    // Any thread, several at once. Never blocks or allocates; without entry
    // storage it does nothing.
    void addChange(ParamID id, ParamValue value, int32 sampleOffset);

    // Reader thread. Never block or allocate (transferChangesTo allocates
    // only when the destination runs out of queues).
    bool getNextChange(ParamID& id, ParamValue& value, int32& sampleOffset);
    void transferChangesTo(ParameterChanges& destination);
    // Drops every unread change that is complete.
    void removeChanges();

    // Any thread. Changes added before this call are dropped instead of
    // delivered: a state loaded into the plug-in replaces every edit made
    // before it. A change added while this runs may go either way.
    void supersedePending();

    // Calls visit(id, value) for every unread change, oldest first, without
    // taking it. Only while the reader does not run (the plug-in is not
    // processing); writers may go on, and their newest changes may be missed.
    template <typename Visit>
    void forEachUnread(Visit&& visit) const
    {
        if (!changes_)
            return;
        const std::uint32_t current = epoch_.load(std::memory_order_acquire);
        for (std::uint64_t position = readPosition_.load(std::memory_order_acquire);; ++position) {
            const Change& change = changes_[static_cast<size_t>(position % static_cast<std::uint64_t>(size_))];
            if (!change.ready.load(std::memory_order_acquire))
                return;
            if (change.epoch == current)
                visit(change.id, change.value);
        }
    }

private:
    struct Change {
        ParamID id = 0;
        ParamValue value = 0;
        int32 sampleOffset = 0;
        // supersedePending's count when the change was added.
        std::uint32_t epoch = 0;
        // Set by the writer once the fields are complete, cleared by the
        // reader once it has copied them.
        std::atomic<bool> ready{false};
    };
    std::unique_ptr<Change[]> changes_;
    int32 size_ = 0;
    // Positions count changes since the ring was made and never wrap in
    // practice (64 bits), so a writer that stalls between reading and
    // swapping cannot be fooled by a ring that went all the way round.
    std::atomic<std::uint64_t> readPosition_{0};    // stored by the reader only
    std::atomic<std::uint64_t> reservePosition_{0}; // advanced by writers
    std::atomic<std::uint32_t> epoch_{0};            // advanced by supersedePending
};

} // namespace Vst
} // namespace Steinberg
