#pragma once

namespace talven {

// Holds a lock (a RecursiveLock or a StaticRecursiveLock) for the lifetime
// of the guard.
template <typename Lock>
class ScopedLock {
public:
    explicit ScopedLock(Lock& lock) : lock_(lock) { lock_.lock(); }
    ~ScopedLock() { lock_.unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Lock& lock_;
};

} // namespace talven
