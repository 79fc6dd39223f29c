// While the plug-in's editor is shown, the editor's thread hands the
// controller what the processor reported and carries out the restarts the
// plug-in asked for, without the program calling anything: the plug-in's
// own meters move. Real editor windows: Win32 under this thread's message
// pump, X11 on the library's editor thread.
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

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
        // messages while it waits.
        EXPECT_EQ(editorThread, plugin.threadTag());
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
    EXPECT_EQ(heardOn, std::this_thread::get_id());
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

} // namespace
} // namespace talven::test
