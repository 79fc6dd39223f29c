#include "host/ParameterReports.h"

#include "platform/ReportScope.h"
#include "platform/BlockScope.h"

#include <algorithm>

namespace talven {
namespace {

// The reports whose edits are the program's own on this thread.
thread_local const ParameterReports* setByProgram = nullptr;

// The reports calling back on this thread right now, one entry per call (a
// callback that makes the plug-in report again nests). Plain storage: a
// thread-local with a destructor would keep the library mapped at dlclose.
constexpr int kNesting = 16;
thread_local const ParameterReports* callingHere[kNesting];
thread_local int callingDepth = 0;

} // namespace

ParameterReports::SetParamScope::SetParamScope(const ParameterReports& reports) : previous_(setByProgram)
{
    setByProgram = &reports;
}

ParameterReports::SetParamScope::~SetParamScope()
{
    setByProgram = previous_;
}

bool ParameterReports::set(std::uint32_t handle, TALVEN_PARAMPROC callback, void* user)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (closed_)
        return false;
    handle_ = handle;
    callback_ = callback;
    user_ = user;
    return true;
}

void ParameterReports::report(Steinberg::Vst::ParamID id, double value)
{
    if (setByProgram == this)
        return;
    if (BlockScope::active()) {
        // Inside the plug-in's process call the instance lock is held: the
        // program hears of it once the block is over.
        std::lock_guard<std::mutex> guard(lock_);
        const std::size_t count = deferredCount_.load(std::memory_order_relaxed);
        if (callback_ && count < deferred_.size()) {
            deferred_[count] = {id, value};
            deferredCount_.store(count + 1, std::memory_order_release);
        }
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!callback_)
            return;
    }
    if (ReportScope::active() || ReportScope::wakeLater()) {
        try {
            ReportScope::defer(shared_from_this(), id, value);
        } catch (...) {
            // Out of memory: the report is lost, the plug-in's call is not.
        }
        return;
    }
    call(id, value);
}

void ParameterReports::deliverDeferred()
{
    if (deferredCount_.load(std::memory_order_acquire) == 0)
        return;
    std::array<Pending, kDeferredCapacity> pending;
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        count = deferredCount_.load(std::memory_order_relaxed);
        std::copy_n(deferred_.begin(), count, pending.begin());
        deferredCount_.store(0, std::memory_order_relaxed);
    }
    for (std::size_t i = 0; i < count; ++i)
        call(pending[i].id, pending[i].value);
}

void ParameterReports::call(Steinberg::Vst::ParamID id, double value)
{
    TALVEN_PARAMPROC callback = nullptr;
    void* user = nullptr;
    std::uint32_t handle = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!callback_)
            return;
        callback = callback_;
        user = user_;
        handle = handle_;
        ++inProgress_;
    }
    const int depth = callingDepth;
    if (depth < kNesting)
        callingHere[depth] = this;
    callingDepth = depth + 1;
    try {
        callback(handle, id, value, user);
    } catch (...) {
        // The program's code: nothing it throws may unwind into the plug-in.
    }
    callingDepth = depth;
    {
        std::lock_guard<std::mutex> guard(lock_);
        --inProgress_;
    }
    idle_.notify_all();
}

void ParameterReports::close()
{
    const int depth = std::min(callingDepth, kNesting);
    const int here = static_cast<int>(std::count(callingHere, callingHere + depth, this));
    std::unique_lock<std::mutex> guard(lock_);
    closed_ = true;
    callback_ = nullptr;
    deferredCount_.store(0, std::memory_order_relaxed);
    idle_.wait(guard, [&] { return inProgress_ <= here; });
}

} // namespace talven
