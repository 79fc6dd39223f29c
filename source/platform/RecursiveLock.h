#pragma once

#include "platform/ScopedLock.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <mutex>
#endif

namespace talven {

// A lock that the owning thread may enter again: a critical section on
// Windows, a recursive mutex elsewhere. Plug-ins call back into the host on
// the thread that holds an instance's lock, so re-entry must not deadlock.
class RecursiveLock {
public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void lock();
    // Takes the lock only when that needs no wait (or this thread holds it).
    bool tryLock();
    void unlock();

private:
#ifdef _WIN32
    CRITICAL_SECTION section_;
#else
    std::recursive_mutex mutex_;
#endif
};

} // namespace talven
