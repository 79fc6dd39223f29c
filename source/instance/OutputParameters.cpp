#include "instance/OutputParameters.h"

#include <algorithm>

namespace talven {

void OutputParameters::prepare(std::vector<Steinberg::Vst::ParamID> ids)
{
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    auto slots = std::make_unique<Slot[]>(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        slots[i].id = ids[i];
    slots_ = std::move(slots);
    count_ = ids.size();
    anyChanged_.store(false);
}

void OutputParameters::store(Steinberg::Vst::ParamID id, double value) noexcept
{
    Slot* const begin = slots_.get();
    Slot* const end = begin + count_;
    Slot* const found = std::lower_bound(begin, end, id, [](const Slot& slot, Steinberg::Vst::ParamID wanted) {
        return slot.id < wanted;
    });
    if (found == end || found->id != id)
        return;
    found->value.store(value, std::memory_order_relaxed);
    found->changed.store(true, std::memory_order_release);
    anyChanged_.store(true, std::memory_order_release);
}

std::size_t OutputParameters::take(const std::function<void(Steinberg::Vst::ParamID, double)>& deliver)
{
    // Cleared before the slots are read: a store meanwhile sets it again.
    if (!anyChanged_.exchange(false, std::memory_order_acq_rel))
        return 0;
    std::size_t taken = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        Slot& slot = slots_[i];
        if (!slot.changed.exchange(false, std::memory_order_acq_rel))
            continue;
        deliver(slot.id, slot.value.load(std::memory_order_relaxed));
        ++taken;
    }
    return taken;
}

} // namespace talven
