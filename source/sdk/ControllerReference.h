#pragma once

#include "platform/RecursiveLock.h"
#include "platform/ReportScope.h"
#include "sdk/PlugProvider.h"

#include <utility>

namespace Steinberg::Vst {

// An edit controller together with the provider it came from. The provider
// terminates the controller when it goes, so a caller that may race a detach
// keeps the provider alive for as long as it talks to the controller.
//
// A VST 3 controller expects one call at a time, while a program's threads,
// the editor's thread and the library's own work all reach it: each caller
// takes its turn (turn()) around its calls.
class ControllerReference {
public:
    // One caller's calls into the controller, serialised with every other
    // turn at the same controller by its call lock. Re-entrant: a plug-in
    // that calls back into the host on the same thread takes another turn.
    // Reports the plug-in makes meanwhile wait until the lock is released
    // (ReportScope), so the program is never called under it. Never on the
    // audio thread, and never held while waiting for another thread.
    class Turn {
    public:
        // waits: false gives up at once when another thread holds the lock
        // (then held() is false, and the caller calls nothing).
        explicit Turn(talven::RecursiveLock* lock, bool waits = true) : lock_(lock)
        {
            if (!lock_)
                return;
            if (waits)
                lock_->lock();
            else if (!lock_->tryLock()) {
                lock_ = nullptr;
                held_ = false;
            }
        }
        ~Turn()
        {
            if (lock_)
                lock_->unlock();
        }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

        bool held() const { return held_; }

    private:
        // Opened before the lock is taken, closed after it is released.
        talven::ReportScope reportsAfterwards_;
        talven::RecursiveLock* lock_;
        bool held_ = true;
    };

    ControllerReference() = default;
    // The provider's controller, or empty for a null provider or a plug-in
    // without one; calls is the lock that serialises calls into it (none:
    // turns do not wait). Any thread.
    explicit ControllerReference(IPtr<PlugProvider> provider, talven::RecursiveLock* calls = nullptr)
        : provider_(std::move(provider)), calls_(calls)
    {
        // getController adds a reference; owned() adopts it.
        if (provider_)
            controller_ = owned(provider_->getController());
    }

    // Declare after the reference, so that the turn ends first. waits: false
    // for a thread that must not wait for a plug-in call on another thread
    // (the editor's, which such a call may itself be waiting for).
    Turn turn(bool waits = true) const { return Turn(calls_, waits); }

    explicit operator bool() const { return controller_ != nullptr; }
    IEditController* operator->() const { return controller_.get(); }
    IEditController* get() const { return controller_.get(); }
    const IPtr<PlugProvider>& provider() const { return provider_; }

private:
    // Declared first, released last.
    IPtr<PlugProvider> provider_;
    IPtr<IEditController> controller_;
    talven::RecursiveLock* calls_ = nullptr;
};

} // namespace Steinberg::Vst
