#pragma once

#include "talven.h"

#include "platform/ReportScope.h"

#include "pluginterfaces/vst/vsttypes.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace talven {

// Carries the edits a plug-in makes itself (its editor's performEdit, a
// request to read all values again) to the program's parameter callback:
// on the thread on which the plug-in reported them, never while a library
// lock is held, and never once the instance was taken down. Shared by the
// instance and its component handler, which may outlive it.
class ParameterReports : public std::enable_shared_from_this<ParameterReports>, public ReportReceiver {
public:
    // Reports made from inside a block (the plug-in's process call holds the
    // instance lock) wait here until the block ends; more are dropped.
    static constexpr std::size_t kDeferredCapacity = 256;

    // Sets the callback (null: none) for the instance under handle. Any
    // thread. False once closed.
    bool set(std::uint32_t handle, TALVEN_PARAMPROC callback, void* user);

    // One edit of the plug-in's own, made on this thread: the callback hears
    // it on this thread outside the plug-in's calls, from inside a block once
    // the block is over, inside a library function or an editor round once
    // that is over (ReportScope), and otherwise now. Nothing when no callback
    // is set, or for an edit made by TALVEN_SetParam on this thread
    // (SetParamScope). Any thread.
    void report(Steinberg::Vst::ParamID id, double value);

    // The callback hears it now, unless closed or none is set. The thread
    // the edit was reported on, outside every plug-in call and library lock.
    void deliverNow(std::uint32_t id, double value) override { call(id, value); }

    // After a block (or a flush) of the instance, with the instance lock
    // released: the reports made inside it, on this thread. Cheap when there
    // are none. Audio thread or the flushing caller's.
    void deliverDeferred();
    // Whether reports wait for deliverDeferred. Any thread; an atomic read.
    bool anyDeferred() const { return deferredCount_.load(std::memory_order_acquire) != 0; }

    // No callback from now on; waits for calls in progress on other threads
    // (not for one on this thread, which may be the one closing). Any thread,
    // no lock held.
    void close();

    // While one exists on a thread, reports of this object made on it are the
    // echo of a value the program set itself, and are not passed back.
    class SetParamScope {
    public:
        explicit SetParamScope(const ParameterReports& reports);
        ~SetParamScope();
        SetParamScope(const SetParamScope&) = delete;
        SetParamScope& operator=(const SetParamScope&) = delete;

    private:
        const ParameterReports* previous_;
    };

private:
    struct Pending {
        Steinberg::Vst::ParamID id;
        double value;
    };

    void call(Steinberg::Vst::ParamID id, double value);

    mutable std::mutex lock_;
    std::condition_variable idle_;
    std::uint32_t handle_ = 0;
    TALVEN_PARAMPROC callback_ = nullptr;
    void* user_ = nullptr;
    bool closed_ = false;
    int inProgress_ = 0; // calls under way, on any thread
    // Guarded by lock_; filled inside blocks, emptied after them.
    std::array<Pending, kDeferredCapacity> deferred_{};
    // Written under lock_, read without it to keep an empty delivery cheap.
    std::atomic<std::size_t> deferredCount_{0};
};

} // namespace talven
