// A file mapped read-write into every process that maps it: where a test
// plug-in keeps its record when TALVEN_PROBE_SHARED names a folder, so that
// a test reads and steers the plug-in while it runs in talven-host.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <thread>

namespace talven::testplugin {

class SharedFile {
public:
    // <TALVEN_PROBE_SHARED>/<name>, grown zero-filled to size; data() is
    // null when the variable is not set or the file cannot be mapped.
    SharedFile(const char* name, std::size_t size);
    ~SharedFile();
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    void* data() const { return view_; }

private:
    void* view_ = nullptr;
    std::size_t size_ = 0;
#ifdef _WIN32
    void* file_ = nullptr;    // the file's handle
    void* mapping_ = nullptr; // the mapping's handle
#endif
};

// A Record in a shared file, behind a readiness word: the first process to
// map the file constructs the record and any other waits until it is ready.
template <typename Record>
struct SharedRecord {
    std::atomic<int32_t> state; // 0 fresh (zero-filled), 1 being set up, 2 ready
    Record record;

    static Record* adopt(void* memory)
    {
        auto* shared = static_cast<SharedRecord*>(memory);
        int32_t expected = 0;
        if (shared->state.compare_exchange_strong(expected, 1)) {
            new (&shared->record) Record;
            shared->state = 2;
        }
        while (shared->state.load() != 2)
            std::this_thread::yield();
        return &shared->record;
    }
};

// Atomics in memory two processes map work only when lock-free.
static_assert(std::atomic<int32_t>::is_always_lock_free && std::atomic<int64_t>::is_always_lock_free);

// A lock that works across processes, for records too large for atomics;
// held only while a record is copied. Any thread.
class SharedSpinLock {
public:
    void lock()
    {
        while (word_.exchange(1, std::memory_order_acquire) != 0)
            std::this_thread::yield();
    }
    void unlock() { word_.store(0, std::memory_order_release); }

private:
    std::atomic<int32_t> word_{0};
};

} // namespace talven::testplugin
