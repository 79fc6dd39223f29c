// A plug-in asking its host for restarts (restartComponent) from another
// thread than the audio, while a channel plays: what each request does, that
// no block reaches the plug-in while it is switched off or set up again,
// that every frame comes out as itself, dry or processed, exactly once, and
// that requests from inside the plug-in's own calls neither hang nor repeat
// for ever.
#include "IsolatedRun.h"
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace talven::test {
namespace {

using namespace Steinberg::Vst;

class RestartRequestTest : public RestartEngineTest {
protected:
    void SetUp() override
    {
        RestartEngineTest::SetUp();
        ASSERT_NE(playingRamp(), 0u);
        ASSERT_NE(attach(stream), 0u);
        ASSERT_TRUE(waitProcessed());
    }
};

TEST_F(RestartRequestTest, ANewLatencyIsReportedOnceThePluginAskedAndIsActivatedAgain)
{
    plugin.setLatency(512);
    // Not asked yet: the plug-in reports its latency of the last activation.
    EXPECT_EQ(info().latencySamples, 0);
    const TalvenRestartStats before = plugin.stats();

    EXPECT_EQ(plugin.request(kLatencyChanged), Steinberg::kResultOk);
    EXPECT_EQ(info().latencySamples, 512);
    const TalvenRestartStats after = plugin.stats();
    EXPECT_EQ(after.deactivations, before.deactivations + 1);
    EXPECT_EQ(after.activations, before.activations + 1);
    // Carried out once: the next call finds nothing left to do.
    EXPECT_EQ(info().latencySamples, 512);
    EXPECT_EQ(plugin.stats().activations, after.activations);

    ASSERT_TRUE(waitProcessed());
    finishAndCheckFrames();
}

TEST_F(RestartRequestTest, AnOutputBusChangeIsSetUpAgainAndBlocksKeepFlowingInTheNewShape)
{
    plugin.setOutputChannels(1);
    EXPECT_EQ(plugin.request(kIoChanged), Steinberg::kResultOk);
    TALVEN_INFO described = info();
    EXPECT_EQ(described.inputChannels, 2);
    EXPECT_EQ(described.outputChannels, 1);
    EXPECT_EQ(plugin.stats().outputChannels, 1);
    // The plug-in writes the left channel only now; the right passes dry.
    ASSERT_TRUE(waitUntil([&] { return watch.monoFrames.load() >= 4800; }));

    plugin.setOutputChannels(2);
    EXPECT_EQ(plugin.request(kIoChanged), Steinberg::kResultOk);
    EXPECT_EQ(info().outputChannels, 2);
    const std::int64_t stereoBefore = watch.stereoFrames.load();
    ASSERT_TRUE(waitUntil([&] { return watch.stereoFrames.load() >= stereoBefore + 4800; }));
    finishAndCheckFrames();
}

TEST_F(RestartRequestTest, AReloadKeepsTheParameterValuesTheProcessorWorksWith)
{
    ASSERT_EQ(TALVEN_SetParam(handle, TALVEN_RESTART_GAIN_ID, 0.75f), Steinberg::kResultOk);
    ASSERT_TRUE(waitUntil([&] { return watch.raisedFrames.load() >= 4800; }));
    const TalvenRestartStats before = plugin.stats();

    EXPECT_EQ(plugin.request(kReloadComponent), Steinberg::kResultOk);
    info();
    const TalvenRestartStats after = plugin.stats();
    EXPECT_EQ(after.activations, before.activations + 1);
    EXPECT_EQ(after.setups, before.setups + 1);
    EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_GAIN_ID), 0.75);

    const std::int64_t raised = watch.raisedFrames.load();
    ASSERT_TRUE(waitUntil([&] { return watch.raisedFrames.load() >= raised + 4800; }));
    EXPECT_EQ(watch.halvedAfterRaised.load(), 0);
    finishAndCheckFrames();
}

TEST_F(RestartRequestTest, ParameterValueAndTitleChangesReachTheCallbackAsAllParameters)
{
    HeardReports reports;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, HeardReports::hear, &reports), 1);
    const TalvenRestartStats before = plugin.stats();

    EXPECT_EQ(plugin.request(kParamValuesChanged), Steinberg::kResultOk);
    EXPECT_EQ(plugin.request(kParamTitlesChanged), Steinberg::kResultOk);
    // Isolated, the plug-in's thread is one of talven-host's: the reports
    // cross to the library's thread that runs the callbacks.
    ASSERT_TRUE(waitUntil([&] { return reports.of(TALVEN_ALL_PARAMETERS).size() >= 2; }));
    const std::vector<HeardReports::Report> heard = reports.of(TALVEN_ALL_PARAMETERS);
    ASSERT_EQ(heard.size(), 2u);
    for (const HeardReports::Report& report : heard) {
        EXPECT_EQ(report.handle, handle);
        EXPECT_EQ(report.value, -1.0);
        if (!isolatedRun()) { // the asking thread, here the test's own
            EXPECT_EQ(report.thread, std::this_thread::get_id());
        }
    }

    // From inside the plug-in's processing: heard on the audio thread, once
    // the block is over.
    plugin.request(kParamValuesChanged, TALVEN_RESTART_IN_PROCESS);
    ASSERT_TRUE(waitUntil([&] { return reports.of(TALVEN_ALL_PARAMETERS).size() == 3; }));
    EXPECT_EQ(plugin.stats().lastResult, Steinberg::kResultOk);
    EXPECT_NE(reports.of(TALVEN_ALL_PARAMETERS)[2].thread, std::this_thread::get_id());

    // Nothing to switch off and on for these.
    info();
    EXPECT_EQ(plugin.stats().activations, before.activations);
    finishAndCheckFrames();
}

TEST_F(RestartRequestTest, OtherRequestsAreNotImplementedAndChangeNothing)
{
    HeardReports reports;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, HeardReports::hear, &reports), 1);
    const TalvenRestartStats before = plugin.stats();
    for (int flags : {0, static_cast<int>(kMidiCCAssignmentChanged), static_cast<int>(kNoteExpressionChanged),
                      static_cast<int>(kIoTitlesChanged), static_cast<int>(kPrefetchableSupportChanged),
                      static_cast<int>(kRoutingInfoChanged), 1 << 12}) {
        EXPECT_EQ(plugin.request(flags), Steinberg::kNotImplemented) << flags;
    }
    info();
    EXPECT_EQ(plugin.stats().activations, before.activations);
    EXPECT_TRUE(reports.of(TALVEN_ALL_PARAMETERS).empty());
    finishAndCheckFrames();
}

TEST_F(RestartRequestTest, ARequestFromInsideProcessingIsCarriedOutByTheNextCall)
{
    plugin.setLatency(32);
    plugin.request(kLatencyChanged, TALVEN_RESTART_IN_PROCESS);
    ASSERT_TRUE(waitUntil([&] { return plugin.stats().requestsMade == 1; }));
    EXPECT_EQ(plugin.stats().lastResult, Steinberg::kResultOk);
    EXPECT_NE(plugin.stats().requestThread, plugin.threadTag());
    finishesWithin([&] { EXPECT_EQ(info().latencySamples, 32); });
    ASSERT_TRUE(waitProcessed());
    finishAndCheckFrames();
}

// A plug-in that asks again from inside every activation: the restarts it
// causes come to an end, and none hangs.
TEST_F(RestartRequestTest, ARequestFromInsideEveryActivationNeitherHangsNorRestartsForEver)
{
    plugin.request(kLatencyChanged | kReloadComponent, TALVEN_RESTART_IN_EVERY_ACTIVATION);
    plugin.setLatency(128);
    ASSERT_EQ(plugin.request(kLatencyChanged), Steinberg::kResultOk);
    const auto callAFewTimes = [&] {
        finishesWithin([&] {
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(info().latencySamples, 128);
        });
    };
    callAFewTimes();
    const TalvenRestartStats settled = plugin.stats();
    callAFewTimes();
    EXPECT_EQ(plugin.stats().activations, settled.activations);

    // The end of a bypass activates it too, outside any restart.
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
    callAFewTimes();
    const TalvenRestartStats unbypassed = plugin.stats();
    callAFewTimes();
    EXPECT_EQ(plugin.stats().activations, unbypassed.activations);
    ASSERT_TRUE(waitProcessed());
    finishAndCheckFrames();
}

// A bus change the plug-in asks for while a restart for its latency switches
// it on again is carried out too, by the next call.
TEST_F(RestartRequestTest, AnOutputChangeAskedForDuringAnotherRestartIsNotLost)
{
    plugin.setOutputChannels(1);
    plugin.request(kIoChanged, TALVEN_RESTART_IN_ACTIVATION);
    plugin.setLatency(64);
    ASSERT_EQ(plugin.request(kLatencyChanged), Steinberg::kResultOk);
    EXPECT_EQ(info().latencySamples, 64);
    ASSERT_EQ(plugin.stats().requestsMade, 2);

    EXPECT_EQ(info().outputChannels, 1);
    EXPECT_EQ(plugin.stats().outputChannels, 1);
    ASSERT_TRUE(waitUntil([&] { return watch.monoFrames.load() >= 4800; }));
    finishAndCheckFrames();
}

// The plug-in's own thread asks for every kind of restart while the program
// reads and sets the instance on another and the channel plays: every
// request is answered by a call, the instance always describes the plug-in
// as it is, and no frame is lost, doubled or handed over mid-set-up.
TEST_F(RestartRequestTest, RequestsRacingWithCallsAndAudioKeepEveryFrameAndTheDescriptionTrue)
{
    const int rounds = 200;
    HeardReports reports;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, HeardReports::hear, &reports), 1);
    std::atomic<bool> done{false};
    std::thread pluginThread([&] {
        const int kinds[] = {kLatencyChanged, kIoChanged, kReloadComponent, kParamValuesChanged,
                             kLatencyChanged | kIoChanged};
        for (int i = 0; i < rounds; ++i) {
            plugin.setLatency(i);
            plugin.setOutputChannels(1 + i % 2);
            plugin.request(kinds[i % 5]);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });
    while (!done.load()) {
        info();
        TALVEN_GetParam(handle, TALVEN_RESTART_PEAK_ID);
        EXPECT_EQ(TALVEN_SetParam(handle, TALVEN_RESTART_GAIN_ID, 0.25f), Steinberg::kResultOk);
    }
    pluginThread.join();

    const TALVEN_INFO described = info();
    const TalvenRestartStats stats = plugin.stats();
    EXPECT_EQ(described.latencySamples, stats.latency);
    EXPECT_EQ(described.latencySamples, rounds - 1);
    EXPECT_EQ(described.outputChannels, stats.outputChannels);
    EXPECT_EQ(reports.of(TALVEN_ALL_PARAMETERS).size(), static_cast<size_t>(rounds / 5));
    ASSERT_TRUE(waitProcessed());
    finishAndCheckFrames();
}

} // namespace
} // namespace talven::test
