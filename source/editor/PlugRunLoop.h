#pragma once

#include "editor/EventLoop.h"

#include "pluginterfaces/gui/iplugview.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace talven {

// The run loop one editor window offers its view (Steinberg::Linux::IRunLoop,
// through the view's frame): the view's descriptor handlers and timers, served
// by the editor thread's event loop and called only there. A handler is held
// (one reference) while registered and let go when unregistered, or after
// its call when it unregisters itself from inside it. When its window closes
// the run loop is retired: whatever the view left registered is dropped and
// new registrations are refused, so nothing of a plug-in runs from a window
// that is gone. Registration from another thread is refused too.
class PlugRunLoop : public Steinberg::Linux::IRunLoop {
public:
    // A run loop on the editor thread's event loop (editor thread), with one
    // reference for the caller.
    PlugRunLoop();
    virtual ~PlugRunLoop();
    PlugRunLoop(const PlugRunLoop&) = delete;
    PlugRunLoop& operator=(const PlugRunLoop&) = delete;

    // Drops every registration and refuses new ones. Editor thread.
    void retire();

    //---IRunLoop---
    Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                       Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                                Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

    //---FUnknown---
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

private:
    struct Registration {
        const void* handler;
        EventLoop::Id id;
    };

    // The event loop when this is still in service and the caller is on its
    // thread; else null.
    EventLoop* usableLoop() const;
    Steinberg::tresult unregister(std::vector<Registration>& registrations, const void* handler);

    std::atomic<Steinberg::uint32> references_{1};
    EventLoop* loop_; // null once retired
    std::uint64_t loopSerial_;
    std::vector<Registration> handlers_;
    std::vector<Registration> timers_;
};

} // namespace talven
