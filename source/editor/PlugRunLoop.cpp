#include "editor/PlugRunLoop.h"

#include "editor/EditorThread.h"

#include "pluginterfaces/base/smartpointer.h"

#include <algorithm>
#include <limits>

using namespace Steinberg;

namespace talven {

PlugRunLoop::PlugRunLoop() : loop_(EditorThread::loop()), loopSerial_(loop_ ? loop_->serial() : 0) {}

PlugRunLoop::~PlugRunLoop()
{
    // Normally retired by its window already; a last release off the editor
    // thread cannot reach the loop, which then has nothing of this left anyway.
    if (usableLoop())
        retire();
}

EventLoop* PlugRunLoop::usableLoop() const
{
    // A loop of an earlier run of the editor thread is gone, even when the
    // current one sits at its address.
    EventLoop* const current = EditorThread::loop();
    return loop_ && loop_ == current && current->serial() == loopSerial_ ? loop_ : nullptr;
}

void PlugRunLoop::retire()
{
    EventLoop* const loop = usableLoop();
    loop_ = nullptr;
    if (!loop)
        return;
    // Taken out first: a handler's release may call back into this.
    std::vector<Registration> dropped = std::move(handlers_);
    dropped.insert(dropped.end(), timers_.begin(), timers_.end());
    timers_.clear();
    for (const Registration& registration : dropped)
        loop->remove(registration.id);
}

tresult PlugRunLoop::unregister(std::vector<Registration>& registrations, const void* handler)
{
    if (!handler)
        return kInvalidArgument;
    EventLoop* const loop = usableLoop();
    if (!loop)
        return kResultFalse;
    std::vector<EventLoop::Id> ids;
    const auto kept = std::remove_if(registrations.begin(), registrations.end(), [&](const Registration& r) {
        if (r.handler != handler)
            return false;
        ids.push_back(r.id);
        return true;
    });
    registrations.erase(kept, registrations.end());
    // Let go after the bookkeeping: the release may reach plug-in code.
    for (const EventLoop::Id id : ids)
        loop->remove(id);
    return ids.empty() ? kResultFalse : kResultOk;
}

//---IRunLoop---

tresult PLUGIN_API PlugRunLoop::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
    if (!handler || fd < 0)
        return kInvalidArgument;
    EventLoop* const loop = usableLoop();
    if (!loop)
        return kResultFalse;
    const IPtr<Linux::IEventHandler> held(handler);
    const EventLoop::Id id = loop->watchFd(fd, [held, fd] { held->onFDIsSet(fd); });
    handlers_.push_back({handler, id});
    return kResultOk;
}

tresult PLUGIN_API PlugRunLoop::unregisterEventHandler(Linux::IEventHandler* handler)
{
    return unregister(handlers_, handler);
}

tresult PLUGIN_API PlugRunLoop::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds)
{
    if (!handler)
        return kInvalidArgument;
    EventLoop* const loop = usableLoop();
    if (!loop)
        return kResultFalse;
    const IPtr<Linux::ITimerHandler> held(handler);
    const auto interval = std::chrono::milliseconds(
        std::min<Linux::TimerInterval>(milliseconds, std::numeric_limits<std::int32_t>::max()));
    const EventLoop::Id id = loop->startTimer(interval, [held] { held->onTimer(); });
    timers_.push_back({handler, id});
    return kResultOk;
}

tresult PLUGIN_API PlugRunLoop::unregisterTimer(Linux::ITimerHandler* handler)
{
    return unregister(timers_, handler);
}

//---FUnknown---

tresult PLUGIN_API PlugRunLoop::queryInterface(const TUID iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<Linux::IRunLoop*>(this);
        addRef();
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API PlugRunLoop::addRef()
{
    return ++references_;
}

uint32 PLUGIN_API PlugRunLoop::release()
{
    const uint32 count = --references_;
    if (count == 0)
        delete this;
    return count;
}

} // namespace talven
