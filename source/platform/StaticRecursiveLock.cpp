#include "platform/StaticRecursiveLock.h"

namespace talven {

#ifdef _WIN32
void StaticRecursiveLock::lock()
{
    const DWORD self = GetCurrentThreadId();
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++depth_;
        return;
    }
    AcquireSRWLockExclusive(&lock_);
    owner_.store(self, std::memory_order_relaxed);
    depth_ = 1;
}

void StaticRecursiveLock::unlock()
{
    if (--depth_ != 0)
        return;
    owner_.store(0, std::memory_order_relaxed);
    ReleaseSRWLockExclusive(&lock_);
}
#else
void StaticRecursiveLock::lock()
{
    pthread_mutex_lock(&mutex_);
}

void StaticRecursiveLock::unlock()
{
    pthread_mutex_unlock(&mutex_);
}
#endif

} // namespace talven
