#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace talven {

// The program's editor callback for an embedded view that resized itself:
// the instance's handle, the view's new size and the program's pointer.
using ViewResizeCallback = void (*)(std::uint32_t handle, std::int32_t width, std::int32_t height, void* user);

// Where an instance keeps that callback. Shared by the instance and the
// embedded view's frame, which reports from the window's thread; the lock
// guards only the copy, never the call.
class ViewResizeReport {
public:
    explicit ViewResizeReport(std::uint32_t handle) : handle_(handle) {}
    ViewResizeReport(const ViewResizeReport&) = delete;
    ViewResizeReport& operator=(const ViewResizeReport&) = delete;

    // Null callback: no more reports. Any thread.
    void set(ViewResizeCallback callback, void* user);
    // No report once this returns: one under way on another thread is
    // waited for (one on this thread, the caller's own callback, is not).
    // Any thread.
    void silence();
    // Calls the callback, if any, with no lock held. The window's thread.
    void report(std::int32_t width, std::int32_t height);

private:
    const std::uint32_t handle_;
    std::mutex lock_;
    ViewResizeCallback callback_ = nullptr; // guarded by lock_
    void* user_ = nullptr;                  // guarded by lock_
    std::atomic<int> reporting_{0};
};

} // namespace talven
