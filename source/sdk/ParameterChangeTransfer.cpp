#include "sdk/ParameterChangeTransfer.h"

#include "sdk/ParameterChanges.h"

namespace Steinberg {
namespace Vst {

ParameterChangeTransfer::ParameterChangeTransfer(int32 maxChanges)
{
    setMaxParameters(maxChanges);
}

void ParameterChangeTransfer::setMaxParameters(int32 maxChanges)
{
    changes_ = maxChanges > 0 ? std::make_unique<Change[]>(static_cast<size_t>(maxChanges)) : nullptr;
    size_ = maxChanges > 0 ? maxChanges : 0;
    readPosition_.store(0);
    reservePosition_.store(0);
}

void ParameterChangeTransfer::addChange(ParamID id, ParamValue value, int32 sampleOffset)
{
    if (!changes_)
        return;
    const auto capacity = static_cast<std::int64_t>(size_) - 1;
    std::uint64_t position = reservePosition_.load(std::memory_order_relaxed);
    do {
        // Acquire pairs with the reader's release: the slot's last reading
        // is then complete before this writer fills it again. The difference
        // is signed: a position read before other writers and the reader
        // moved on lies behind the read position, and the swap then fails
        // and brings it up to date instead of the change being lost.
        const auto unread = static_cast<std::int64_t>(position - readPosition_.load(std::memory_order_acquire));
        if (unread >= capacity)
            return; // full: the change is lost
    } while (!reservePosition_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed));

    Change& change = changes_[static_cast<size_t>(position % static_cast<std::uint64_t>(size_))];
    change.id = id;
    change.value = value;
    change.sampleOffset = sampleOffset;
    change.epoch = epoch_.load(std::memory_order_acquire);
    change.ready.store(true, std::memory_order_release);
}

bool ParameterChangeTransfer::getNextChange(ParamID& id, ParamValue& value, int32& sampleOffset)
{
    if (!changes_)
        return false;
    for (;;) {
        const std::uint64_t position = readPosition_.load(std::memory_order_relaxed);
        Change& change = changes_[static_cast<size_t>(position % static_cast<std::uint64_t>(size_))];
        // Not ready: nothing unread, or a writer is still filling this slot
        // (its change and any after it come with a later block).
        if (!change.ready.load(std::memory_order_acquire))
            return false;
        id = change.id;
        value = change.value;
        sampleOffset = change.sampleOffset;
        // A writer that saw a later count published it before its change,
        // so a count read after the change is never older than the change's.
        const bool superseded = change.epoch != epoch_.load(std::memory_order_acquire);
        change.ready.store(false, std::memory_order_relaxed);
        readPosition_.store(position + 1, std::memory_order_release);
        if (!superseded)
            return true;
    }
}

void ParameterChangeTransfer::supersedePending()
{
    epoch_.fetch_add(1, std::memory_order_acq_rel);
}

void ParameterChangeTransfer::transferChangesTo(ParameterChanges& destination)
{
    ParamID id = 0;
    ParamValue value = 0;
    int32 sampleOffset = 0;
    while (getNextChange(id, value, sampleOffset)) {
        int32 index = 0;
        if (IParamValueQueue* queue = destination.addParameterData(id, index))
            queue->addPoint(sampleOffset, value, index);
    }
}

void ParameterChangeTransfer::removeChanges()
{
    ParamID id = 0;
    ParamValue value = 0;
    int32 sampleOffset = 0;
    while (getNextChange(id, value, sampleOffset)) {
    }
}

} // namespace Vst
} // namespace Steinberg
