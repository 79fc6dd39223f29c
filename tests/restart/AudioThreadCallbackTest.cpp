// The parameter callback that runs on the audio thread after a block (the
// plug-in asked for kParamValuesChanged from inside process): what it may do
// there (detach, free the channel, read the plug-in) never switches the
// plug-in off and on, terminates it or unloads it on that thread, and never
// touches a record that is gone. And a store whose flush makes the plug-in
// report calls back with no library lock held.
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace talven::test {
namespace {

using namespace Steinberg::Vst;

class AudioThreadCallbackTest : public RestartEngineTest {};

// The callback that hears the store's flush waits for another thread's
// bypass switch, which takes the instance's locks.
struct BypassWaiter {
    std::uint32_t handle = 0;
    std::mutex lock;
    std::condition_variable done;
    bool switched = false;
    std::atomic<bool> switchedInCallback{false};
    std::thread other;
};

void TALVEN_CALL waitForBypassElsewhere(uint32_t, uint32_t id, double, void* user)
{
    auto& waiter = *static_cast<BypassWaiter*>(user);
    if (id != TALVEN_ALL_PARAMETERS || waiter.other.joinable())
        return;
    waiter.other = std::thread([&waiter] {
        TALVEN_SetBypass(waiter.handle, 1);
        std::lock_guard<std::mutex> guard(waiter.lock);
        waiter.switched = true;
        waiter.done.notify_all();
    });
    std::unique_lock<std::mutex> guard(waiter.lock);
    waiter.switchedInCallback = waiter.done.wait_for(guard, std::chrono::seconds(20), [&] { return waiter.switched; });
}

TEST_F(AudioThreadCallbackTest, AStoreCallsBackWithNoLibraryLockHeld)
{
    ASSERT_NE(levelStream(), 0u);
    ASSERT_NE(attach(stream), 0u);
    BypassWaiter waiter;
    waiter.handle = handle;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, waitForBypassElsewhere, &waiter), 1);
    // Asked from inside the store's flush (a process call without samples).
    plugin.request(kParamValuesChanged, TALVEN_RESTART_IN_PROCESS);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("talven-store-callback-" + std::to_string(::getpid()) + ".vstpreset"))
            .string();
    EXPECT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 1);
    ASSERT_TRUE(waiter.other.joinable());
    waiter.other.join();
    EXPECT_TRUE(waiter.switchedInCallback.load());
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    std::remove(path.c_str());
}

} // namespace
} // namespace talven::test
