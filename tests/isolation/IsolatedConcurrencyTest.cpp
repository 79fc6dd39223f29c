// One isolated plug-in used from several threads at once while its channel
// plays on another: every call gives what it would alone, a callback may
// wait for another thread's call, and a detach that races with those calls
// leaves each of them either done or cleanly failed, every later one failed,
// and nothing of the process behind.
#include "AudioTestSupport.h"
#include "IsolationTestSupport.h"

#include "talven.h"

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace talven {
namespace {

using test::EngineTest;

constexpr int kCallers = 4;

// One kind of call: made by caller (0 to kCallers - 1), its result, whether
// that result is what an attached plug-in gives, and what a detached handle
// gives.
struct Call {
    const char* name;
    std::function<std::int32_t(std::uint32_t handle, int caller, int round)> make;
    std::function<bool(std::int32_t)> attachedResult;
    std::int32_t detachedResult;
};

std::string presetOf(int caller)
{
    return "concurrent-" + std::to_string(caller) + ".vstpreset";
}

void TALVEN_CALL countReport(std::uint32_t, std::uint32_t, double, void* user)
{
    static_cast<std::atomic<long>*>(user)->fetch_add(1);
}

// Reports of every attachment here: the callers set the callback too.
std::atomic<long> reports{0};

const std::vector<Call>& calls()
{
    auto is = [](std::int32_t wanted) { return [wanted](std::int32_t result) { return result == wanted; }; };
    static const std::vector<Call> all = {
        {"SetParam", [](std::uint32_t h, int, int round) { return TALVEN_SetParam(h, 0, (round % 10) / 10.0f); },
         is(0), 1},
        // In thousandths; a detached handle reads 0.
        {"GetParam", [](std::uint32_t h, int, int) { return static_cast<std::int32_t>(TALVEN_GetParam(h, 0) * 1000); },
         [](std::int32_t value) { return value >= 0 && value <= 1000; }, 0},
        {"GetParamText",
         [](std::uint32_t h, int, int) {
             char text[64] = {};
             return TALVEN_GetParamText(h, 0, 0.5, text, sizeof text);
         },
         is(1), 0},
        {"GetParamCount", [](std::uint32_t h, int, int) { return TALVEN_GetParamCount(h); },
         [](std::int32_t count) { return count > 0; }, 0},
        {"SetBypass", [](std::uint32_t h, int caller, int) { return TALVEN_SetBypass(h, caller % 2); }, is(1), 0},
        {"GetBypass", [](std::uint32_t h, int, int) { return TALVEN_GetBypass(h); },
         [](std::int32_t bypassed) { return bypassed == 0 || bypassed == 1; }, 0},
        {"GetInfo",
         [](std::uint32_t h, int, int) {
             TALVEN_INFO info{};
             info.size = sizeof info;
             return TALVEN_GetInfo(h, &info) == 1 && info.parameterCount > 0 ? 1 : 0;
         },
         is(1), 0},
        {"StorePreset",
         [](std::uint32_t h, int caller, int) { return TALVEN_StorePreset(presetOf(caller).c_str(), 0, h); }, is(1),
         0},
        {"RecallPreset",
         [](std::uint32_t h, int caller, int) { return TALVEN_RecallPreset(presetOf(caller).c_str(), h); }, is(1), 0},
        {"GetState", [](std::uint32_t h, int, int) { return TALVEN_GetState(h, nullptr, 0); },
         [](std::int32_t size) { return size > 0; }, -1},
        {"SetProgram", [](std::uint32_t h, int, int round) { return TALVEN_SetProgram(h, round % 5); }, is(1), 0},
        {"GetProgram", [](std::uint32_t h, int, int) { return TALVEN_GetProgram(h); },
         [](std::int32_t program) { return program >= 0 && program < 5; }, -1},
        {"SetParamCallback",
         [](std::uint32_t h, int, int) { return TALVEN_SetParamCallback(h, countReport, &reports); }, is(1), 0},
        {"GetStatus", [](std::uint32_t h, int, int) { return TALVEN_GetStatus(h); }, is(TALVEN_STATUS_RUNNING), -1},
    };
    return all;
}

// The channel pulled block by block on a thread of its own, as a player's.
class AudioThread {
public:
    explicit AudioThread(HSTREAM channel)
        : thread_([this, channel] {
              std::vector<float> block(2 * 512);
              while (!stop_.load()) {
                  if (BASS_ChannelGetData(channel, block.data(), static_cast<DWORD>(block.size() * sizeof(float)))
                      == static_cast<DWORD>(-1))
                      break;
                  blocks_.fetch_add(1);
              }
          })
    {
    }
    ~AudioThread()
    {
        stop_ = true;
        thread_.join();
    }
    long blocks() const { return blocks_.load(); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<long> blocks_{0};
    std::thread thread_;
};

class IsolatedConcurrencyTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        test::setMinimumWait("20000");
    }
    void TearDown() override
    {
        for (int caller = 0; caller < kCallers; ++caller)
            std::remove(presetOf(caller).c_str());
        EngineTest::TearDown();
    }
};

TEST_F(IsolatedConcurrencyTest, FourThreadsCallingWhileAudioPlaysGetWhatEachCallGivesAlone)
{
    const HSTREAM channel = decodeStream(2);
    const std::uint32_t handle = test::attachTestPlugin(channel, "ProgramGain", true);
    ASSERT_NE(handle, 0u);
    reports = 0;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, countReport, &reports), 1);
    // Each caller's preset exists before any recall of it.
    for (int caller = 0; caller < kCallers; ++caller)
        ASSERT_EQ(TALVEN_StorePreset(presetOf(caller).c_str(), 0, handle), 1);
    const int rounds = test::stressIterations(300);
    std::atomic<int> wrong{0};
    {
        AudioThread audio(channel);
        std::vector<std::thread> callers;
        for (int caller = 0; caller < kCallers; ++caller) {
            callers.emplace_back([&, caller] {
                for (int round = 0; round < rounds; ++round) {
                    const Call& call = calls()[static_cast<std::size_t>(round + caller * 3) % calls().size()];
                    const std::int32_t result = call.make(handle, caller, round);
                    if (!call.attachedResult(result) && wrong.fetch_add(1) < 10)
                        ADD_FAILURE() << call.name << " from caller " << caller << " gave " << result;
                }
            });
        }
        for (std::thread& caller : callers)
            caller.join();
        EXPECT_TRUE(test::waitFor([&] { return audio.blocks() > 10; }));
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(reports.load(), 0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(channel, handle), 1);
    test::expectNoChildProcess();
}

// A parameter callback that hands the report to another thread of the
// program and waits for it there, as a program passing it to its window's
// thread does; that thread calls the same attachment.
struct WaitingCallback {
    std::uint32_t handle = 0;
    std::atomic<int> heard{0};
    std::atomic<bool> answeredMeanwhile{false};
    // The other thread's answer; shared with it, since a thread that never
    // gets its answer is left behind rather than waited for.
    std::shared_ptr<std::atomic<std::int32_t>> count = std::make_shared<std::atomic<std::int32_t>>(-1);
};

void TALVEN_CALL waitForAnotherThread(std::uint32_t, std::uint32_t, double, void* user)
{
    auto& side = *static_cast<WaitingCallback*>(user);
    if (side.heard.fetch_add(1) > 0)
        return;
    std::thread other([count = side.count, handle = side.handle] { *count = TALVEN_GetParamCount(handle); });
    side.answeredMeanwhile = test::waitFor([&] { return side.count->load() != -1; });
    if (side.answeredMeanwhile.load())
        other.join();
    else
        other.detach(); // it waits for this callback: joining would never end
}

TEST_F(IsolatedConcurrencyTest, ACallbackMayWaitForAnotherThreadsCallOnTheSameAttachment)
{
    for (const bool isolated : {false, true}) {
        SCOPED_TRACE(isolated ? "isolated" : "in the program's process");
        const HSTREAM channel = decodeStream(2);
        WaitingCallback side;
        side.handle = test::attachTestPlugin(channel, "ProgramGain", isolated);
        ASSERT_NE(side.handle, 0u);
        const std::int32_t count = TALVEN_GetParamCount(side.handle);
        ASSERT_EQ(TALVEN_SetParamCallback(side.handle, waitForAnotherThread, &side), 1);
        // A program change reports its parameters' new values.
        ASSERT_EQ(TALVEN_SetProgram(side.handle, 3), 1);
        EXPECT_TRUE(test::waitFor([&] { return side.heard.load() > 0; }));
        EXPECT_TRUE(side.answeredMeanwhile.load());
        EXPECT_EQ(side.count->load(), count);
        EXPECT_EQ(TALVEN_ChannelFree(channel), 1);
    }
    test::expectNoChildProcess();
}

TEST_F(IsolatedConcurrencyTest, ADetachRacingWithCallsOnFourThreadsLeavesEveryLaterCallFailedAndNothingBehind)
{
    const int races = test::stressIterations(20);
    for (int race = 0; race < races; ++race) {
        SCOPED_TRACE("race " + std::to_string(race));
        const long handlesBefore = test::openHandles();
        const long threadsBefore = test::threadCount();
        const HSTREAM channel = decodeStream(2);
        const std::uint32_t handle = test::attachTestPlugin(channel, "ProgramGain", true);
        ASSERT_NE(handle, 0u);
        ASSERT_EQ(TALVEN_SetParamCallback(handle, countReport, &reports), 1);
        ASSERT_EQ(TALVEN_StorePreset(presetOf(0).c_str(), 0, handle), 1);
        std::atomic<bool> detached{false};
        std::atomic<int> callsMade{0};
        std::atomic<int> wrong{0};
        {
            AudioThread audio(channel);
            std::vector<std::thread> callers;
            for (int caller = 0; caller < kCallers; ++caller) {
                callers.emplace_back([&, caller] {
                    // Calls go on until some are made on the detached handle.
                    for (int round = 0, after = 0; after < 2 * static_cast<int>(calls().size()); ++round) {
                        const bool wasDetached = detached.load();
                        const Call& call = calls()[static_cast<std::size_t>(round + caller * 3) % calls().size()];
                        const std::int32_t result = call.make(handle, caller % 2 == 0 ? 0 : caller, round);
                        callsMade.fetch_add(1);
                        if (!wasDetached)
                            continue;
                        ++after;
                        if (result != call.detachedResult && wrong.fetch_add(1) < 10)
                            ADD_FAILURE() << call.name << " on the detached handle gave " << result;
                    }
                });
            }
            // Some calls of every caller under way first, then the detach
            // in their midst, a little later in each race.
            test::waitFor([&] { return callsMade.load() >= kCallers * (2 + race % 8); });
            EXPECT_EQ(TALVEN_ChannelRemoveDSP(channel, handle), 1);
            detached = true;
            for (std::thread& caller : callers)
                caller.join();
        }
        EXPECT_EQ(wrong.load(), 0);
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(channel, handle), 0);
        BASS_StreamFree(channel);
        EXPECT_TRUE(test::waitFor(
            [&] { return test::threadCount() <= threadsBefore && test::noHandlesBeyond(handlesBefore); }))
            << test::threadCount() << " threads, " << test::openHandles() << " handles";
        test::expectNoChildProcess();
    }
}

} // namespace
} // namespace talven
