#include "editor/ViewResizeReport.h"

#include <chrono>
#include <thread>

namespace talven {
namespace {

// The thread inside report() now, so that silence() on it does not wait for
// itself.
thread_local const ViewResizeReport* reportingHere = nullptr;

} // namespace

void ViewResizeReport::set(ViewResizeCallback callback, void* user)
{
    std::lock_guard<std::mutex> guard(lock_);
    callback_ = callback;
    user_ = user;
}

void ViewResizeReport::silence()
{
    set(nullptr, nullptr);
    const int own = reportingHere == this ? 1 : 0;
    while (reporting_.load() > own)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ViewResizeReport::report(std::int32_t width, std::int32_t height)
{
    // Counted before the callback is read: silence() either finds this
    // report under way or this finds the callback gone.
    ++reporting_;
    ViewResizeCallback callback = nullptr;
    void* user = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        callback = callback_;
        user = user_;
    }
    const ViewResizeReport* const outer = reportingHere;
    reportingHere = this;
    // The program's code: nothing it throws may unwind into the window's
    // message handling.
    try {
        if (callback)
            callback(handle_, width, height, user);
    } catch (...) {
    }
    reportingHere = outer;
    --reporting_;
}

} // namespace talven
