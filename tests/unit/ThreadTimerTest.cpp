#include "platform/ThreadTimer.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace talven {
namespace {

std::atomic<int> ticks{0};
std::atomic<std::thread::id> tickThread;
std::atomic<std::uint32_t> selfKillingTimer{0};

void countTick()
{
    tickThread = std::this_thread::get_id();
    ++ticks;
}

void killSelfOnThirdTick()
{
    if (++ticks == 3)
        killThreadTimer(selfKillingTimer.load());
}

TEST(ThreadTimer, TicksRepeatedlyUntilKilled)
{
    ticks = 0;
    const std::uint32_t id = startThreadTimer(5, countTick);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(test::waitUntil([] { return ticks.load() >= 5; }));
    killThreadTimer(id);
    const int afterKill = ticks.load();
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(ticks.load(), afterKill);
#ifdef _WIN32
    // Windows thread timers tick on the thread that started them.
    EXPECT_EQ(tickThread.load(), std::this_thread::get_id());
#endif
}

TEST(ThreadTimer, CanBeKilledFromItsOwnTick)
{
    ticks = 0;
    selfKillingTimer = startThreadTimer(5, killSelfOnThirdTick);
    ASSERT_NE(selfKillingTimer.load(), 0u);
    ASSERT_TRUE(test::waitUntil([] { return ticks.load() >= 3; }));
    test::waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(ticks.load(), 3);
    stopAllThreadTimers(); // joins the thread the timer left behind
}

TEST(ThreadTimer, RefusesANullProcedureAndIgnoresUnknownIdentifiers)
{
    EXPECT_EQ(startThreadTimer(5, nullptr), 0u);
    killThreadTimer(0);
    killThreadTimer(0xFFFFFFF0u);
}

} // namespace
} // namespace talven
