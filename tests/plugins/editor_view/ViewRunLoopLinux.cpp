#include "ViewRunLoop.h"

#include "ChildWindow.h"
#include "EditorState.h"

#include "pluginterfaces/base/smartpointer.h"

#include <atomic>

using namespace Steinberg;

namespace talven::testplugin {
namespace {

// One FUnknown with its own count, for the two handler interfaces.
template <typename Interface>
class Handler : public Interface {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (!obj)
            return kInvalidArgument;
        if (FUnknownPrivate::iidEqual(iid, Interface::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            *obj = static_cast<Interface*>(this);
            addRef();
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++references_; }
    uint32 PLUGIN_API release() override
    {
        const uint32 count = --references_;
        if (count == 0)
            delete this;
        return count;
    }

protected:
    virtual ~Handler() = default;

private:
    std::atomic<uint32> references_{1};
};

class TickCounter : public Handler<Linux::ITimerHandler> {
public:
    void PLUGIN_API onTimer() override
    {
        countViewTick();
        serviceViewEdits();
        // Once per view, so that tests see which thread serves the loop.
        if (!ticked_) {
            ticked_ = true;
            notifyEditorEvent("timer");
            actOnFirstTick();
        }
    }

private:
    bool ticked_ = false;
};

class ChildReader : public Handler<Linux::IEventHandler> {
public:
    explicit ChildReader(void* child) : child_(child) {}
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override { drainChildWindow(child_); }

private:
    void* child_;
};

} // namespace

struct ViewRunLoop::Registrations {
    IPtr<Linux::IRunLoop> loop;
    IPtr<TickCounter> timer;
    IPtr<ChildReader> reader;
};

ViewRunLoop::ViewRunLoop() = default;

ViewRunLoop::~ViewRunLoop()
{
    stop();
}

void ViewRunLoop::start(IPlugFrame* frame, void* child)
{
    stop();
    void* found = nullptr;
    if (!frame || frame->queryInterface(Linux::IRunLoop::iid, &found) != kResultOk || !found)
        return;
    auto registrations = std::make_unique<Registrations>();
    registrations->loop = owned(static_cast<Linux::IRunLoop*>(found));
    registrations->timer = owned(new TickCounter);
    registrations->loop->registerTimer(registrations->timer, 10);
    const int fd = child ? childWindowFd(child) : -1;
    if (fd >= 0) {
        registrations->reader = owned(new ChildReader(child));
        registrations->loop->registerEventHandler(registrations->reader, fd);
    }
    registrations_ = std::move(registrations);
}

void ViewRunLoop::stop()
{
    if (!registrations_)
        return;
    registrations_->loop->unregisterTimer(registrations_->timer);
    if (registrations_->reader)
        registrations_->loop->unregisterEventHandler(registrations_->reader);
    registrations_.reset();
}

int runLoopTicks()
{
    return viewTicks();
}

} // namespace talven::testplugin
