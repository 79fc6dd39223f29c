#include "platform/ThreadTimer.h"

#include "platform/ScopedLock.h"
#include "platform/StaticRecursiveLock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace talven {
namespace {

// What a timer's thread shares with the code that stops it, so that a timer
// killed from inside its own procedure can let its thread finish alone.
struct TimerState {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopped = false;
    std::atomic<bool> finished{false}; // the loop has ended; a join returns at once
};

// One running timer, made by startThreadTimer and freed by killThreadTimer.
struct Timer {
    std::uint32_t id = 0;
    std::shared_ptr<TimerState> state;
    std::thread thread;
    Timer* next = nullptr;
};

// The running timers. Nothing here has a destructor: the library's unload
// hook kills the idle timer after static destructors may already have run
// (at exit they run before it), and a thread still ticking then must find
// its table whole.
StaticRecursiveLock timersLock;
Timer* runningTimers = nullptr; // guarded by timersLock
// Killed from their own tick: the thread is still returning from the tick.
// Joined later, so that no timer thread runs the library's code once the
// library can be unmapped.
Timer* retiredTimers = nullptr; // guarded by timersLock
std::uint32_t lastTimerId = 0;  // guarded by timersLock

void runTimer(std::shared_ptr<TimerState> state, std::chrono::milliseconds period, ThreadTimerProc proc)
{
    auto due = std::chrono::steady_clock::now() + period;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(state->mutex);
            if (state->wake.wait_until(guard, due, [&] { return state->stopped; })) {
                state->finished = true;
                return;
            }
        }
        proc();
        due += period;
        auto now = std::chrono::steady_clock::now();
        if (due < now)
            due = now; // a slow tick does not cause a burst of catch-up ticks
    }
}

// Takes the timer out of the table; null when it is not there.
std::unique_ptr<Timer> unlinkTimer(std::uint32_t id)
{
    ScopedLock guard(timersLock);
    for (Timer** link = &runningTimers; *link; link = &(*link)->next) {
        if ((*link)->id == id) {
            std::unique_ptr<Timer> found(*link);
            *link = found->next;
            return found;
        }
    }
    return nullptr;
}

// Stops the timer's thread and frees the timer, or retires it when this is
// the timer's own thread.
void stopTimer(std::unique_ptr<Timer> timer)
{
    {
        std::lock_guard<std::mutex> guard(timer->state->mutex);
        timer->state->stopped = true;
    }
    timer->state->wake.notify_all();
    if (timer->thread.get_id() == std::this_thread::get_id()) {
        // The loop ends as soon as the tick returns.
        ScopedLock guard(timersLock);
        timer->next = retiredTimers;
        retiredTimers = timer.release();
        return;
    }
    timer->thread.join();
}

// Joins the threads of retired timers, other than the calling one; with
// onlyFinished, only those whose loop has already ended, so that the caller
// never waits for a tick that may be waiting for a lock the caller holds.
void joinRetiredTimers(bool onlyFinished)
{
    Timer* finishing = nullptr;
    {
        ScopedLock guard(timersLock);
        for (Timer** link = &retiredTimers; *link;) {
            Timer* timer = *link;
            if (timer->thread.get_id() == std::this_thread::get_id()
                || (onlyFinished && !timer->state->finished.load())) {
                link = &timer->next;
                continue;
            }
            *link = timer->next;
            timer->next = finishing;
            finishing = timer;
        }
    }
    while (finishing) {
        std::unique_ptr<Timer> timer(finishing);
        finishing = timer->next;
        timer->thread.join();
    }
}

} // namespace

std::uint32_t startThreadTimer(std::uint32_t periodMs, ThreadTimerProc proc)
{
    if (!proc)
        return 0;
    joinRetiredTimers(true);
    try {
        auto timer = std::make_unique<Timer>();
        timer->state = std::make_shared<TimerState>();
        ScopedLock guard(timersLock);
        timer->id = ++lastTimerId;
        if (timer->id == 0)
            timer->id = ++lastTimerId;
        timer->thread = std::thread(runTimer, timer->state, std::chrono::milliseconds(periodMs ? periodMs : 1), proc);
        timer->next = runningTimers;
        runningTimers = timer.release();
        return runningTimers->id;
    } catch (...) {
        return 0; // no memory or no thread: the caller tries again later
    }
}

void killThreadTimer(std::uint32_t id)
{
    if (std::unique_ptr<Timer> timer = unlinkTimer(id))
        stopTimer(std::move(timer));
    // Timers that killed themselves earlier are done with their last tick
    // by now, or nearly: their threads are joined here.
    joinRetiredTimers(false);
}

void stopAllThreadTimers()
{
    for (;;) {
        std::unique_ptr<Timer> timer;
        {
            ScopedLock guard(timersLock);
            if (!runningTimers)
                break;
            timer.reset(runningTimers);
            runningTimers = timer->next;
        }
        stopTimer(std::move(timer));
    }
    joinRetiredTimers(false);
}

} // namespace talven
