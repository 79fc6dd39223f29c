// When the plug-in's process should wake itself to watch for the next
// block: only at a steady pace, and only where watching costs little.
#include "isolation/RequestForecast.h"

#include <gtest/gtest.h>

#include <vector>

namespace talven {
namespace {

using Clock = RequestForecast::Clock;
using std::chrono::microseconds;

struct Case {
    const char* name;
    std::vector<long> intervalsUs;  // between the requests, after the first
    long wokeLateUs;                // each timed wake-up this late (-1: none measured)
    int quietBlocks;                // then as many more at the last interval, no wake-up measured
    bool watches;
};

TEST(RequestForecastTest, WatchesAroundTheDueTimeOnlyAtASteadyAffordablePace)
{
    const std::vector<Case> cases = {
        {"no request yet", {}, -1, 0, false},
        {"too few intervals to know a pace", {5000, 5000, 5000}, -1, 0, false},
        {"playback's steady pace", {5000, 5000, 5000, 5000, 5000}, -1, 0, true},
        {"a steady pace with some jitter", {10000, 10030, 9970, 10040, 9960, 10010}, -1, 0, true},
        {"blocks pulled on demand", {5000, 9000, 2000, 7000, 4000, 12000}, -1, 0, false},
        {"a steady pace, then a pause", {5000, 5000, 5000, 5000, 5000, 900000}, -1, 0, false},
        {"a pause, then a new steady pace", {5000, 900000, 3000, 3000, 3000, 3000, 3000}, -1, 0, true},
        {"blocks back to back", {20, 15, 25, 18, 22}, -1, 0, true},
        {"timed wake-ups a little late", {5000, 5000, 5000, 5000, 5000}, 60, 0, true},
        {"timed wake-ups a millisecond late", {5000, 5000, 5000, 5000, 5000}, 1000, 0, false},
        {"a millisecond late, then a while of blocks", {5000, 5000, 5000, 5000, 5000}, 1000, 60, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RequestForecast forecast;
        Clock::time_point at{};
        if (!c.intervalsUs.empty() || c.watches)
            forecast.arrived(at);
        for (const long interval : c.intervalsUs) {
            at += microseconds(interval);
            forecast.arrived(at);
            if (c.wokeLateUs >= 0)
                forecast.woke(at - microseconds(100), at - microseconds(100) + microseconds(c.wokeLateUs));
        }
        for (int i = 0; i < c.quietBlocks; ++i) {
            at += microseconds(c.intervalsUs.back());
            forecast.arrived(at);
        }
        const auto window = forecast.watch();
        ASSERT_EQ(window.has_value(), c.watches);
        if (!window)
            continue;
        const auto due = at + microseconds(c.intervalsUs.back());
        EXPECT_LT(window->from, due + microseconds(c.intervalsUs.back() / 10));
        EXPECT_GT(window->until, due);
        // Never more than a quarter of the time between blocks, outside back to back.
        if (c.intervalsUs.back() > 200) {
            EXPECT_LE(window->until - window->from, microseconds(c.intervalsUs.back() / 4));
        }
    }
}

} // namespace
} // namespace talven
