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
    long paceUs;                    // the pace watched at; 0: no watching
};

TEST(RequestForecastTest, WatchesAroundTheDueTimeOnlyAtASteadyAffordablePace)
{
    const std::vector<Case> cases = {
        {"no request yet", {}, -1, 0, 0},
        {"too few intervals to know a pace", {5000, 5000, 5000}, -1, 0, 0},
        {"playback's steady pace", {5000, 5000, 5000, 5000, 5000}, -1, 0, 5000},
        {"a steady pace with some jitter", {10000, 10030, 9970, 10040, 9960, 10010}, -1, 0, 10010},
        {"blocks pulled on demand", {5000, 9000, 2000, 7000, 4000, 12000}, -1, 0, 0},
        {"a steady pace through one late block", {5000, 5000, 5000, 5000, 5000, 7500, 5000}, -1, 0, 5000},
        {"a steady pace, then a pause: the pace is kept", {5000, 5000, 5000, 5000, 5000, 900000}, -1, 0, 5000},
        {"two intervals off the pace end it", {5000, 5000, 5000, 5000, 5000, 900000, 3000}, -1, 0, 0},
        {"a pause, then a new steady pace", {5000, 900000, 3000, 3000, 3000, 3000, 3000}, -1, 0, 3000},
        {"blocks back to back", {20, 15, 25, 18, 22}, -1, 0, 22},
        {"a heavy plug-in's blocks back to back", {800, 810, 790, 805, 800}, -1, 0, 800},
        {"timed wake-ups a little late", {5000, 5000, 5000, 5000, 5000}, 60, 0, 5000},
        {"timed wake-ups a millisecond late", {5000, 5000, 5000, 5000, 5000}, 1000, 0, 0},
        {"a millisecond late, then a while of blocks", {5000, 5000, 5000, 5000, 5000}, 1000, 60, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RequestForecast forecast;
        Clock::time_point at{};
        if (!c.intervalsUs.empty())
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
        ASSERT_EQ(window.has_value(), c.paceUs > 0);
        if (!window)
            continue;
        const auto due = at + microseconds(c.paceUs);
        EXPECT_LT(window->from, due + microseconds(c.paceUs / 10));
        EXPECT_GT(window->until, due);
        // Never more than an eighth of the time between blocks at playback's
        // pace, a quarter when pulled faster, all of it back to back.
        if (c.paceUs > 200) {
            EXPECT_LE(window->until - window->from, microseconds(c.paceUs / (c.paceUs >= 2000 ? 8 : 4)));
        }
    }
}

} // namespace
} // namespace talven
