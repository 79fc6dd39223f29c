#include "isolation/RequestForecast.h"

#include <algorithm>

namespace talven {
namespace {

using std::chrono::microseconds;

// Intervals in a row that must keep the pace before watching starts.
constexpr int kSteadyNeeded = 4;
// How far an interval may stray from the pace and still keep it.
constexpr microseconds kSlack{50};
// Blocks this close together are watched for all the way: the wake-up
// would cost more than the watching.
constexpr microseconds kShortPeriod{200};
// Watching may take at most an eighth of the time between blocks at
// playback's pace (a few milliseconds and more)...
constexpr microseconds kPlaybackPeriod{2000};
constexpr int kPlaybackShareDivisor = 8;
// ...and a quarter between blocks pulled faster, so that a plug-in that
// takes half the time between blocks pulled back to back is still watched
// for...
constexpr int kFastShareDivisor = 4;
// ...and never longer than this.
constexpr microseconds kLongestWatch{2000};
// Added to what the lateness and the jitter call for.
constexpr microseconds kMargin{20};
// What a timed wake-up is taken to be late by until one is measured. Once
// watching has stopped for being too dear no wake-up is measured, so each
// block pulls the figure back towards this one: watching is tried again
// after a few dozen blocks, in case the late wake-ups were a passing load.
constexpr microseconds kAssumedLateness{50};

RequestForecast::Duration average(RequestForecast::Duration mean, RequestForecast::Duration sample, int weight)
{
    return mean + (sample - mean) / weight;
}

} // namespace

RequestForecast::RequestForecast() : lateness_(kAssumedLateness) {}

void RequestForecast::arrived(Clock::time_point at)
{
    if (!last_) {
        last_ = at;
        return;
    }
    const Duration interval = at - *last_;
    last_ = at;
    if (lateness_ > kAssumedLateness)
        lateness_ = average(lateness_, kAssumedLateness, 32);
    const Duration distance = interval > period_ ? interval - period_ : period_ - interval;
    if (period_.count() > 0 && distance <= period_ / 4 + kSlack) {
        period_ = average(period_, interval, 8);
        jitter_ = average(jitter_, distance, 8);
        steady_ = std::min(steady_ + 1, kSteadyNeeded);
        strayed_ = false;
    } else if (period_.count() > 0 && !strayed_) {
        // One interval off the pace (a block the program's thread was late
        // with, a short pause) keeps it: the next block is still due a
        // period after this one.
        strayed_ = true;
    } else {
        // Two in a row: a new pace, or none (blocks pulled on demand).
        period_ = interval;
        jitter_ = Duration{0};
        steady_ = 0;
        strayed_ = false;
    }
}

void RequestForecast::woke(Clock::time_point planned, Clock::time_point actual)
{
    const Duration late = std::max(Duration{0}, actual - planned);
    // Quick to grow, slow to forget: a late wake-up costs a block's wake-up,
    // watching a little longer costs little.
    lateness_ = average(lateness_, late, late > lateness_ ? 2 : 16);
}

std::optional<RequestForecast::Window> RequestForecast::watch() const
{
    if (!last_ || steady_ < kSteadyNeeded)
        return std::nullopt;
    const Duration lead = lateness_ + 2 * jitter_ + kMargin;
    const int shareDivisor = period_ >= kPlaybackPeriod ? kPlaybackShareDivisor : kFastShareDivisor;
    if (period_ > kShortPeriod && (2 * lead > period_ / shareDivisor || 2 * lead > kLongestWatch))
        return std::nullopt;
    const Clock::time_point due = *last_ + period_;
    return Window{due - lead, due + lead};
}

} // namespace talven
