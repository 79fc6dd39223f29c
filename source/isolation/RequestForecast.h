#pragma once

#include <chrono>
#include <optional>

namespace talven {

// When the next block is due, for the thread of the plug-in's process that
// waits for it. Playback hands blocks over at a steady pace, and a thread
// asleep when one arrives pays its wake-up (tens of microseconds, more on a
// virtual machine's idle processor) on every block. At a steady pace the
// thread can instead wake itself shortly before the block is due and watch
// for it: watch() says when, or nothing while the pace is unsteady or
// watching would cost too much of a processor.
//
// Plug-in's process, its block thread only.
class RequestForecast {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::nanoseconds;

    RequestForecast();

    struct Window {
        Clock::time_point from;  // sleep until then
        Clock::time_point until; // then watch until then at most
    };

    // A request was seen at `at`.
    void arrived(Clock::time_point at);
    // A sleep meant to end at `planned` ended at `actual` with no request
    // in: how late this system's timed wake-ups come.
    void woke(Clock::time_point planned, Clock::time_point actual);
    // The window to watch for the next request in, if any.
    std::optional<Window> watch() const;

private:
    std::optional<Clock::time_point> last_;
    Duration period_{0};   // mean time between requests
    Duration jitter_{0};   // mean distance of an interval from it
    Duration lateness_;    // of a timed wake-up
    int steady_ = 0;       // intervals in a row that kept the pace
    bool strayed_ = false; // the last interval was off the pace
};

} // namespace talven
