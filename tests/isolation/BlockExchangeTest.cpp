// The block exchange: a block handed to the plug-in's side comes back
// processed in place; a late one is never waited for twice; either side
// going away ends every wait. Both ends in one process, and with the
// plug-in's side in a process of its own that fails in the ways such a
// process ends.
#include "isolation/BlockExchange.h"
#include "isolation/HostProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace talven {
namespace {

using Result = BlockExchange::Result;
using std::chrono::microseconds;
using std::chrono::seconds;

void fill(BlockExchange& exchange, std::uint32_t frames, float base)
{
    for (std::uint32_t c = 0; c < exchange.channels(); ++c)
        for (std::uint32_t i = 0; i < frames; ++i)
            exchange.channel(c)[i] = base + static_cast<float>(c * 1000 + i);
}

void expectDoubled(BlockExchange& exchange, std::uint32_t frames, float base)
{
    for (std::uint32_t c = 0; c < exchange.channels(); ++c)
        for (std::uint32_t i = 0; i < frames; ++i)
            ASSERT_EQ(exchange.channel(c)[i], 2.0f * (base + static_cast<float>(c * 1000 + i)))
                << "channel " << c << " frame " << i;
}

// The plug-in's side on a thread of this process, opened from the token as
// the other process would. It doubles each block once `release` allows as
// many blocks as it holds.
struct EchoThread {
    explicit EchoThread(const std::string& token) : exchange(BlockExchange::open(token))
    {
        thread = std::thread([this] {
            for (;;) {
                const std::int64_t frames = exchange->awaitRequest(seconds(5));
                if (frames < 0)
                    return;
                while (released.load() == 0 && !exchange->closed())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                released.fetch_sub(1);
                for (std::uint32_t c = 0; c < exchange->channels(); ++c)
                    for (std::int64_t i = 0; i < frames; ++i)
                        exchange->channel(c)[i] *= 2.0f;
                exchange->answer();
            }
        });
    }
    ~EchoThread()
    {
        exchange->close();
        thread.join();
    }
    std::unique_ptr<BlockExchange> exchange;
    std::atomic<int> released{1000000};
    std::thread thread;
};

TEST(BlockExchangeTest, ABlockComesBackProcessedInPlaceAndALateOneIsNeverWaitedForAgainUntilAnswered)
{
    auto exchange = BlockExchange::create(2, 4096);
    ASSERT_TRUE(exchange);
    EchoThread echo(exchange->token());
    ASSERT_TRUE(echo.exchange);
    for (std::uint32_t frames : {1u, 512u, 333u, 4096u}) {
        fill(*exchange, frames, static_cast<float>(frames));
        ASSERT_EQ(exchange->process(frames, seconds(10)), Result::Answered);
        expectDoubled(*exchange, frames, static_cast<float>(frames));
    }
    // Held back: late, then busy without being handed over, until answered.
    echo.released.store(0);
    fill(*exchange, 64, 7.0f);
    EXPECT_EQ(exchange->process(64, microseconds(2000)), Result::Late);
    EXPECT_FALSE(exchange->idle());
    EXPECT_EQ(exchange->process(64, seconds(10)), Result::Busy);
    echo.released.store(1);
    for (int i = 0; i < 5000 && !exchange->idle(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(exchange->idle());
    expectDoubled(*exchange, 64, 7.0f);
    echo.released.store(1000000);
    fill(*exchange, 128, 3.0f);
    EXPECT_EQ(exchange->process(128, seconds(10)), Result::Answered);
    expectDoubled(*exchange, 128, 3.0f);
    // Out of range: nothing handed over.
    EXPECT_EQ(exchange->process(0, seconds(10)), Result::Busy);
    EXPECT_EQ(exchange->process(4097, seconds(10)), Result::Busy);
}

TEST(BlockExchangeTest, EitherSideClosingEndsTheOthersWaitAtOnce)
{
    for (const bool pluginSideCloses : {true, false}) {
        SCOPED_TRACE(pluginSideCloses ? "the plug-in's side closes" : "the program's side closes");
        auto exchange = BlockExchange::create(1, 256);
        ASSERT_TRUE(exchange);
        EchoThread echo(exchange->token());
        echo.released.store(0);
        std::thread closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            (pluginSideCloses ? *echo.exchange : *exchange).close();
        });
        // Far longer than the test may take: only the close ends it.
        EXPECT_EQ(exchange->process(256, seconds(600)), Result::Closed);
        closer.join();
        EXPECT_TRUE(exchange->closed());
        EXPECT_EQ(exchange->process(256, seconds(600)), Result::Closed);
        EXPECT_EQ(echo.exchange->awaitRequest(seconds(600)), -1);
    }
}

TEST(BlockExchangeTest, ATokenThatNamesNoExchangeOpensNothing)
{
    auto exchange = BlockExchange::create(2, 64);
    ASSERT_TRUE(exchange);
    const std::string good = exchange->token();
    for (const std::string& token : {std::string(), std::string("x"), std::string("1:2"), good + "x",
                                    std::string("999999:0:0"), std::string("-1:-1:-1"), good + ":1"}) {
        SCOPED_TRACE(token);
        EXPECT_FALSE(BlockExchange::open(token));
    }
    EXPECT_FALSE(BlockExchange::create(0, 64));
    EXPECT_FALSE(BlockExchange::create(2, 0));
    EXPECT_FALSE(BlockExchange::create(65, 64));
    EXPECT_FALSE(BlockExchange::create(2, (1u << 16) + 1));
}

struct ProcessCase {
    const char* failure;
    Result afterFailure; // what the first block after the failure gives
};

// The plug-in's side in a process of its own, watched as the library will
// watch it: its end closes the exchange, so no block waits on a dead process.
TEST(BlockExchangeTest, APluginProcessThatCrashesExitsOrHangsLeavesBlocksThatNeverWaitOnIt)
{
    const ProcessCase cases[] = {
        {"crash", Result::Closed},
        {"exit", Result::Closed},
        {"hang", Result::Late},
    };
    for (const ProcessCase& c : cases) {
        SCOPED_TRACE(c.failure);
        auto exchange = BlockExchange::create(2, 512);
        ASSERT_TRUE(exchange);
        std::uint64_t handles[BlockExchange::kMaxInherited];
        const int count = exchange->inheritedHandles(handles);
        auto process = HostProcess::start(TALVEN_BLOCK_ECHO_PATH, {exchange->token(), c.failure, "3"},
                                          std::vector<std::uint64_t>(handles, handles + count));
        ASSERT_TRUE(process);
        std::thread watcher([&] {
            process->waitForEnd();
            exchange->close();
        });
        for (int block = 0; block < 3; ++block) {
            fill(*exchange, 512, static_cast<float>(block));
            ASSERT_EQ(exchange->process(512, seconds(60)), Result::Answered);
            expectDoubled(*exchange, 512, static_cast<float>(block));
        }
        // A crash or an exit is noticed by the watcher; a hang only by the
        // bound (a generous one: the block may meet a busy machine).
        fill(*exchange, 512, 0.0f);
        const Result failed = exchange->process(512, seconds(c.afterFailure == Result::Late ? 1 : 60));
        EXPECT_EQ(failed, c.afterFailure);
        if (failed == Result::Late) {
            EXPECT_EQ(exchange->process(512, seconds(60)), Result::Busy);
        }
        process->kill();
        watcher.join();
        EXPECT_EQ(exchange->process(512, seconds(60)), Result::Closed);
    }
}

} // namespace
} // namespace talven
