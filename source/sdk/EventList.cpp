#include "sdk/EventList.h"

namespace Steinberg {
namespace Vst {

IMPLEMENT_FUNKNOWN_METHODS(EventList, IEventList, IEventList::iid)

EventList::EventList(int32 capacity) : events_(static_cast<size_t>(capacity > 0 ? capacity : 0))
{
    FUNKNOWN_CTOR
}

EventList::~EventList()
{
    FUNKNOWN_DTOR
}

int32 PLUGIN_API EventList::getEventCount()
{
    return count_;
}

tresult PLUGIN_API EventList::getEvent(int32 index, Event& e)
{
    if (index < 0 || index >= count_)
        return kInvalidArgument;
    e = events_[static_cast<size_t>(index)];
    return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Event& e)
{
    if (count_ >= capacity())
        return kResultFalse;
    events_[static_cast<size_t>(count_++)] = e;
    return kResultOk;
}

} // namespace Vst
} // namespace Steinberg
