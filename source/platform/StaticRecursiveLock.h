#pragma once

#include <type_traits>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#else
#include <pthread.h>
#endif

namespace talven {

// A re-entrant lock for process-wide state. It is ready before any code of
// the library runs (constant initialization) and has nothing to tear down,
// so it works from the load hook to the last exit handler, whichever order
// the platform runs static destructors, exit handlers and the unload hook
// in, and on any thread still calling in meanwhile. Never destroyed.
class StaticRecursiveLock {
public:
    constexpr StaticRecursiveLock() = default;
    StaticRecursiveLock(const StaticRecursiveLock&) = delete;
    StaticRecursiveLock& operator=(const StaticRecursiveLock&) = delete;

    void lock();
    void unlock();

private:
#ifdef _WIN32
    // A slim reader/writer lock is constant-initialized and needs no
    // deletion, unlike a critical section; it is not re-entrant, so the
    // owner and depth make it so.
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::atomic<DWORD> owner_{0};
    unsigned depth_ = 0; // touched by the owner only
#else
    pthread_mutex_t mutex_ = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
#endif
};

static_assert(std::is_trivially_destructible_v<StaticRecursiveLock>,
              "process-wide locks must survive static destruction");

} // namespace talven
