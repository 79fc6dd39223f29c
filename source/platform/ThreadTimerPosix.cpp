#include "platform/ThreadTimer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace talven {
namespace {

// One timer: its thread sleeps a period, calls the procedure, and repeats
// until stopped. The state is shared with the thread so that a timer killed
// from inside its own procedure can let its thread finish on its own.
struct TimerState {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopped = false;
};

struct TimerEntry {
    std::shared_ptr<TimerState> state;
    std::thread thread;
};

void stopTimer(TimerEntry& entry)
{
    {
        std::lock_guard<std::mutex> guard(entry.state->mutex);
        entry.state->stopped = true;
    }
    entry.state->wake.notify_all();
    if (entry.thread.get_id() == std::this_thread::get_id())
        entry.thread.detach(); // killed from its own tick: the loop ends after the tick returns
    else
        entry.thread.join();
}

// Set once the table is gone. At process exit static objects are destroyed
// before the library's unload hook runs, and that hook still kills the idle
// timer: it must then find nothing rather than a destroyed table.
std::atomic<bool> tableGone{false};

struct TimerTable {
    std::mutex lock;
    std::map<std::uint32_t, TimerEntry> entries;

    TimerTable() = default;
    TimerTable(const TimerTable&) = delete;
    TimerTable& operator=(const TimerTable&) = delete;
    // Destroying a running std::thread would terminate the process.
    ~TimerTable()
    {
        tableGone.store(true);
        for (auto& [id, entry] : entries)
            stopTimer(entry);
    }
};

TimerTable& table()
{
    static TimerTable instance;
    return instance;
}

std::mutex& timersLock()
{
    return table().lock;
}

std::map<std::uint32_t, TimerEntry>& timers()
{
    return table().entries;
}

std::uint32_t nextTimerId = 0; // guarded by timersLock

void runTimer(std::shared_ptr<TimerState> state, std::chrono::milliseconds period, ThreadTimerProc proc)
{
    auto due = std::chrono::steady_clock::now() + period;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(state->mutex);
            if (state->wake.wait_until(guard, due, [&] { return state->stopped; }))
                return;
        }
        proc();
        due += period;
        auto now = std::chrono::steady_clock::now();
        if (due < now)
            due = now; // a slow tick does not cause a burst of catch-up ticks
    }
}

} // namespace

std::uint32_t startThreadTimer(std::uint32_t periodMs, ThreadTimerProc proc)
{
    if (!proc || tableGone.load())
        return 0;
    std::lock_guard<std::mutex> guard(timersLock());
    std::uint32_t id = ++nextTimerId;
    if (id == 0)
        id = ++nextTimerId;
    TimerEntry entry;
    entry.state = std::make_shared<TimerState>();
    try {
        entry.thread = std::thread(runTimer, entry.state, std::chrono::milliseconds(periodMs ? periodMs : 1), proc);
    } catch (...) {
        return 0;
    }
    timers()[id] = std::move(entry);
    return id;
}

void killThreadTimer(std::uint32_t id)
{
    if (tableGone.load())
        return;
    TimerEntry entry;
    {
        std::lock_guard<std::mutex> guard(timersLock());
        auto found = timers().find(id);
        if (found == timers().end())
            return;
        entry = std::move(found->second);
        timers().erase(found);
    }
    stopTimer(entry);
}

} // namespace talven
