#pragma once

#include "pluginterfaces/vst/ivstevents.h"

#include <vector>

namespace Steinberg {
namespace Vst {

// The events of one process call, in a list of fixed capacity made up front:
// adding and clearing never allocate, and an event beyond the capacity is
// refused (kResultFalse) rather than stored.
class EventList : public IEventList {
public:
    // May throw std::bad_alloc.
    explicit EventList(int32 capacity);
    virtual ~EventList();
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;

    void clear() { count_ = 0; }
    int32 capacity() const { return static_cast<int32>(events_.size()); }
    int32 room() const { return capacity() - count_; }

    // IEventList
    int32 PLUGIN_API getEventCount() SMTG_OVERRIDE;
    tresult PLUGIN_API getEvent(int32 index, Event& e) SMTG_OVERRIDE;
    tresult PLUGIN_API addEvent(Event& e) SMTG_OVERRIDE;

    DECLARE_FUNKNOWN_METHODS

private:
    std::vector<Event> events_;
    int32 count_ = 0;
};

} // namespace Vst
} // namespace Steinberg
