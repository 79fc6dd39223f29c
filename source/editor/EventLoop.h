#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace talven {

// The editor thread's wait: file descriptors to watch, timers, and work to do
// before each wait. Everything is registered, removed and called on the
// editor thread; a callback may add or remove any entry, its own included,
// and an entry removed before its turn is not called.
class EventLoop {
public:
    using Id = std::uint64_t;
    using Callback = std::function<void()>;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // onReadable runs whenever fd can be read (or has hung up or failed: then
    // once, after which fd is no longer watched). A closed fd is dropped
    // from the wait without a call.
    Id watchFd(int fd, Callback onReadable);
    // onTick runs every interval (at least 1 ms), first one interval from now.
    Id startTimer(std::chrono::milliseconds interval, Callback onTick);
    // Runs before every wait, to hand on what a library read ahead.
    Id beforeEachWait(Callback prepare);
    // The callback is let go at once, or after it returns when it is running.
    void remove(Id id);

    // Unique in the process: tells this loop from a later one at the same
    // address (a new run of the editor thread on a reused stack).
    std::uint64_t serial() const { return serial_; }

    // Nothing registered: the thread may end.
    bool empty() const { return entries_.empty(); }
    std::size_t timerCount() const;
    std::size_t fdCount() const;

    // One round: the before-wait work, then a wait until wakeFd or a watched
    // fd is readable or a timer is due, then the callbacks of what is ready.
    // wakeFd itself is only waited on; its reader drains it.
    void runOnce(int wakeFd);

    // At process exit: the callbacks belong to plug-ins whose code may be
    // gone, so they are dropped without being destroyed.
    void abandon();

private:
    enum class Kind { Fd, Timer, BeforeWait };
    using Clock = std::chrono::steady_clock;

    struct Entry {
        Kind kind = Kind::Fd;
        int fd = -1;
        bool watched = true; // Fd: still in the wait
        Clock::duration interval{};
        Clock::time_point due{};
        std::shared_ptr<Callback> callback;
    };

    Id add(Entry entry);
    void runBeforeWait();
    // The wait's timeout in milliseconds: -1 without timers.
    int timeoutMs() const;
    void runDueTimers();
    // Runs the entry's callback if it is still there; the call keeps the
    // callback alive even if the entry goes meanwhile.
    void call(Id id);

    std::map<Id, Entry> entries_; // in order of registration
    Id nextId_ = 1;
    std::uint64_t serial_;
};

} // namespace talven
