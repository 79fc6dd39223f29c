// While the plug-in's editor is shown, the editor's thread hands the
// controller what the processor reported and carries out the restarts the
// plug-in asked for, without the program calling anything: the plug-in's
// own meters move. Real editor windows: Win32 under this thread's message
// pump, X11 on the library's editor thread.
#include "IsolatedRun.h"
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace talven::test {
namespace {

class EditorServiceTest : public RestartEngineTest {
protected:
    void SetUp() override
    {
#ifndef _WIN32
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display: DISPLAY is unset (scripts/test starts Xvfb)";
#endif
        RestartEngineTest::SetUp();
        ASSERT_NE(playingRamp(), 0u);
        ASSERT_NE(attach(stream), 0u);
        ASSERT_EQ(TALVEN_SetParamCallback(handle, HeardReports::hear, &reports), 1);
        ASSERT_TRUE(waitProcessed());
        ASSERT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, nullptr, "Service"), 1);
        ASSERT_TRUE(waitUntil([&] { return plugin.stats().viewThread != 0; }));
        editorThread = plugin.stats().viewThread;
#ifdef _WIN32
        // The window belongs to the thread that showed it, which pumps its
        // messages while it waits; isolated, talven-host's.
        if (!isolatedRun()) {
            EXPECT_EQ(editorThread, plugin.threadTag());
        }
#else
        EXPECT_NE(editorThread, plugin.threadTag());
#endif
    }

    HeardReports reports;
    std::int64_t editorThread = 0;
};

TEST_F(EditorServiceTest, ReportedValuesReachTheControllerAndTheCallbackOnTheEditorsThread)
{
    const int before = plugin.stats().peakDeliveries;
    ASSERT_TRUE(waitUntil([&] { return plugin.stats().peakDeliveries >= before + 3; }));
    EXPECT_EQ(plugin.stats().peakThread, editorThread);
    // The ramp's samples are far above 1: the peak reads 1.
    EXPECT_EQ(plugin.stats().lastDeliveredPeak, 1.0);
    ASSERT_TRUE(waitUntil([&] { return !reports.of(TALVEN_RESTART_PEAK_ID).empty(); }));
    const std::thread::id heardOn = reports.of(TALVEN_RESTART_PEAK_ID)[0].thread;
#ifdef _WIN32
    if (!isolatedRun()) { // isolated: the library's thread that runs the callbacks
        EXPECT_EQ(heardOn, std::this_thread::get_id());
    }
#else
    EXPECT_NE(heardOn, std::this_thread::get_id());
#endif
    finishAndCheckFrames();
}

TEST_F(EditorServiceTest, ARequestedRestartIsCarriedOutOnTheEditorsThread)
{
    plugin.setLatency(99);
    ASSERT_EQ(plugin.request(Steinberg::Vst::kLatencyChanged), Steinberg::kResultOk);
    ASSERT_TRUE(waitUntil([&] { return plugin.stats().latency == 99; }));
    EXPECT_EQ(plugin.stats().activationThread, editorThread);
    EXPECT_EQ(info().latencySamples, 99);
    ASSERT_TRUE(waitProcessed());
    finishAndCheckFrames();
}

// Two program threads call every parameter function of the instance at once
// while the editor's thread hands the controller the peaks the processor
// reports: the library lets one call at a time into the controller (the
// sanitizer tree sees any overlap), none hangs, and every value set is one
// of those set.
TEST_F(EditorServiceTest, TwoProgramThreadsMayCallTheParameterFunctionsWhileTheEditorHandsOverValues)
{
    const std::uint32_t h = handle;
    // Only the two gains the frame check knows (x 0.5 and x 1.5).
    const std::vector<std::function<void(int)>> calls = {
        [h](int i) { TALVEN_SetParam(h, TALVEN_RESTART_GAIN_ID, i % 2 == 0 ? 0.25f : 0.75f); },
        [h](int) { TALVEN_GetParam(h, TALVEN_RESTART_GAIN_ID); },
        [h](int) { TALVEN_GetParam(h, TALVEN_RESTART_PEAK_ID); },
        [h](int) {
            char text[385];
            TALVEN_GetParamText(h, TALVEN_RESTART_PEAK_ID, -1.0, text, sizeof text);
        },
        [h](int) {
            double value = 0;
            TALVEN_GetParamValueFromText(h, TALVEN_RESTART_GAIN_ID, "0.5", &value);
        },
        [h](int i) {
            TALVEN_PARAMETERINFO info{};
            TALVEN_GetParamInfo(h, i % TALVEN_GetParamCount(h), &info);
        },
    };
    const int before = plugin.stats().peakDeliveries;
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};
    const auto program = [&] {
        for (int i = 0; !stop.load(); ++i) {
            for (const auto& call : calls)
                call(i);
            ++rounds;
        }
    };
    std::thread first(program);
    std::thread second(program);
    // Both threads go on until the controller heard of many peaks meanwhile
    // (from the editor's tick, or from a program thread's read). Isolated,
    // every call goes to talven-host and back (under Wine about a
    // millisecond): fewer rounds.
    const int enough = isolatedRun() ? 1000 : 10000;
    const bool served = waitUntil([&] {
        return rounds.load() >= enough && plugin.stats().peakDeliveries >= before + 100;
    });
    stop = true;
    first.join();
    second.join();
    EXPECT_TRUE(served);
    const double gain = TALVEN_GetParam(handle, TALVEN_RESTART_GAIN_ID);
    EXPECT_TRUE(gain == 0.25 || gain == 0.75) << gain;
    finishAndCheckFrames();
}

} // namespace
} // namespace talven::test
