#include "instance/OutputParameters.h"

#include <algorithm>
#include <utility>

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

bool OutputParameters::sameIdsAs(const OutputParameters& other) const
{
    if (count_ != other.count_)
        return false;
    for (std::size_t i = 0; i < count_; ++i) {
        if (slots_[i].id != other.slots_[i].id)
            return false;
    }
    return true;
}

void OutputParameters::adopt(OutputParameters& fresh) noexcept
{
    std::lock_guard<std::mutex> guard(slotsLock_);
    bool carried = false;
    for (std::size_t i = 0; i < count_; ++i) {
        Slot& old = slots_[i];
        Slot* const kept = fresh.find(old.id);
        if (!kept || !old.changed.load(std::memory_order_acquire))
            continue;
        kept->value.store(old.value.load(std::memory_order_relaxed), std::memory_order_relaxed);
        kept->changed.store(true, std::memory_order_relaxed);
        carried = true;
    }
    std::swap(slots_, fresh.slots_);
    std::swap(count_, fresh.count_);
    if (carried)
        anyChanged_.store(true, std::memory_order_release);
}

OutputParameters::Slot* OutputParameters::find(Steinberg::Vst::ParamID id) const noexcept
{
    Slot* const begin = slots_.get();
    Slot* const end = begin + count_;
    Slot* const found = std::lower_bound(begin, end, id, [](const Slot& slot, Steinberg::Vst::ParamID wanted) {
        return slot.id < wanted;
    });
    return found == end || found->id != id ? nullptr : found;
}

void OutputParameters::store(Steinberg::Vst::ParamID id, double value) noexcept
{
    Slot* const found = find(id);
    if (!found)
        return;
    found->value.store(value, std::memory_order_relaxed);
    found->changed.store(true, std::memory_order_release);
    anyChanged_.store(true, std::memory_order_release);
}

std::size_t OutputParameters::take(const std::function<void(Steinberg::Vst::ParamID, double)>& deliver)
{
    if (!anyChanged_.load(std::memory_order_acquire))
        return 0;
    // Copied out under the lock, delivered (a plug-in call) without it.
    std::vector<std::pair<Steinberg::Vst::ParamID, double>> taken;
    {
        std::lock_guard<std::mutex> guard(slotsLock_);
        taken.reserve(count_);
        // Cleared before the slots are read: a store meanwhile sets it again.
        if (!anyChanged_.exchange(false, std::memory_order_acq_rel))
            return 0;
        for (std::size_t i = 0; i < count_; ++i) {
            Slot& slot = slots_[i];
            if (slot.changed.exchange(false, std::memory_order_acq_rel))
                taken.emplace_back(slot.id, slot.value.load(std::memory_order_relaxed));
        }
    }
    for (const auto& [id, value] : taken)
        deliver(id, value);
    return taken.size();
}

} // namespace talven
