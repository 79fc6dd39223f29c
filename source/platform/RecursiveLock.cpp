#include "platform/RecursiveLock.h"

namespace talven {

#ifdef _WIN32
RecursiveLock::RecursiveLock() { InitializeCriticalSection(&section_); }
RecursiveLock::~RecursiveLock() { DeleteCriticalSection(&section_); }
void RecursiveLock::lock() { EnterCriticalSection(&section_); }
bool RecursiveLock::tryLock() { return TryEnterCriticalSection(&section_) != 0; }
void RecursiveLock::unlock() { LeaveCriticalSection(&section_); }
#else
RecursiveLock::RecursiveLock() = default;
RecursiveLock::~RecursiveLock() = default;
void RecursiveLock::lock() { mutex_.lock(); }
bool RecursiveLock::tryLock() { return mutex_.try_lock(); }
void RecursiveLock::unlock() { mutex_.unlock(); }
#endif

} // namespace talven
