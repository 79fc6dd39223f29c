// What the processor reports back in its output parameter changes (a meter)
// reaching its controller and the program: the latest value when the
// program reads the parameter, once, and heard by the parameter callback;
// and the slots that carry it from the audio thread without a lock.
#include "IsolatedRun.h"
#include "RestartTestSupport.h"
#include "TestSupport.h"

#include "instance/OutputParameters.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

namespace talven::test {
namespace {

class OutputParameterTest : public RestartEngineTest {
protected:
    void SetUp() override
    {
        RestartEngineTest::SetUp();
        ASSERT_NE(levelStream(), 0u);
        ASSERT_NE(attach(stream), 0u);
        ASSERT_EQ(TALVEN_SetParamCallback(handle, HeardReports::hear, &reports), 1);
    }

    void pullAt(float level)
    {
        setLevel(level);
        pull(stream, 512);
    }

    HeardReports reports;
};

TEST_F(OutputParameterTest, TheLatestReportedValueIsReadAndHeardOnceOnTheReadersThread)
{
    pullAt(0.5f);
    EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_PEAK_ID), 0.5);
    std::vector<HeardReports::Report> heard = reports.of(TALVEN_RESTART_PEAK_ID);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].handle, handle);
    EXPECT_EQ(heard[0].value, 0.5);
    if (!isolatedRun()) { // isolated: the library's thread that runs the callbacks
        EXPECT_EQ(heard[0].thread, std::this_thread::get_id());
    }

    // Of several blocks, the latest counts.
    pullAt(0.25f);
    pullAt(0.75f);
    pullAt(0.125f);
    EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_PEAK_ID), 0.125);
    heard = reports.of(TALVEN_RESTART_PEAK_ID);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].value, 0.125);
    const int deliveries = plugin.stats().peakDeliveries;
    EXPECT_EQ(deliveries, 2);

    // Nothing new: nothing handed over again.
    EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_PEAK_ID), 0.125);
    EXPECT_EQ(plugin.stats().peakDeliveries, deliveries);
    EXPECT_EQ(reports.of(TALVEN_RESTART_PEAK_ID).size(), 2u);

    // Silence reads as silence, and the gain the program set stays its own.
    pullAt(0);
    EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_PEAK_ID), 0.0);
    EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_GAIN_ID), TALVEN_RESTART_DEFAULT_GAIN);
    EXPECT_TRUE(reports.of(TALVEN_RESTART_GAIN_ID).empty());
}

TEST_F(OutputParameterTest, ReadingAnotherParameterHandsTheReportedValuesOverToo)
{
    pullAt(0.5f);
    TALVEN_GetParam(handle, TALVEN_RESTART_GAIN_ID);
    EXPECT_EQ(plugin.stats().lastDeliveredPeak, 0.5);
    ASSERT_EQ(reports.of(TALVEN_RESTART_PEAK_ID).size(), 1u);
}

// The plug-in lists a read-only parameter more, then no more, and asks for a
// restart that makes its host read the list again: the values it reports of
// a parameter listed after attach arrive, and the others keep arriving.
TEST_F(OutputParameterTest, ValuesOfParametersListedByARestartArriveAfterIt)
{
    using namespace Steinberg::Vst;
    struct Case {
        const char* what;
        Steinberg::int32 flags;
        float level;
    };
    const Case cases[] = {
        {"a reload", kReloadComponent, 0.5f},
        {"an I/O change", kIoChanged, 0.75f},
        {"both", kReloadComponent | kIoChanged, 0.25f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plugin.listLevel(true);
        ASSERT_EQ(plugin.request(c.flags), Steinberg::kResultOk);
        // Carries the restart out, on this thread.
        EXPECT_EQ(TALVEN_GetParamCount(handle), 3);
        TALVEN_GetParam(handle, TALVEN_RESTART_GAIN_ID);
        pullAt(c.level);
        EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_LEVEL_ID), c.level / 2);
        const std::vector<HeardReports::Report> heard = reports.of(TALVEN_RESTART_LEVEL_ID);
        ASSERT_FALSE(heard.empty());
        EXPECT_EQ(heard.back().value, c.level / 2);

        plugin.listLevel(false);
        ASSERT_EQ(plugin.request(c.flags), Steinberg::kResultOk);
        TALVEN_GetParam(handle, TALVEN_RESTART_GAIN_ID);
        EXPECT_EQ(TALVEN_GetParamCount(handle), 2);
        pullAt(c.level / 4);
        EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_PEAK_ID), c.level / 4);
        EXPECT_EQ(TALVEN_GetParam(handle, TALVEN_RESTART_LEVEL_ID), c.level / 2);
    }
    EXPECT_EQ(plugin.stats().violations, 0);
}

// An audio thread stores rising values for three parameters while another
// takes them: the taker never sees a value older than one it saw (the same
// one may come twice, when a take meets a store halfway), nor a parameter
// without a slot, and the last take ends with the last value stored.
TEST(OutputParameterSlotsTest, ATakerRacingTheAudioThreadNeverLosesTheLatestValue)
{
    OutputParameters slots;
    slots.prepare({7, 3, 100, 3});
    constexpr int kStores = 20000;
    std::atomic<bool> stored{false};
    std::thread audio([&] {
        for (int i = 1; i <= kStores; ++i) {
            slots.store(3, i);
            slots.store(100, i + 0.5);
            slots.store(55, 1.0); // no slot: dropped
            if (i % 3 == 0)
                slots.store(7, i);
        }
        stored = true;
    });
    std::map<std::uint32_t, double> latest;
    bool risen = true;
    bool unknown = false;
    const auto takeAll = [&] {
        slots.take([&](std::uint32_t id, double value) {
            unknown = unknown || latest.count(id) == 0;
            risen = risen && value >= latest[id];
            latest[id] = value;
        });
    };
    latest = {{3, 0}, {7, 0}, {100, 0}};
    while (!stored.load())
        takeAll();
    audio.join();
    takeAll();
    EXPECT_TRUE(risen);
    EXPECT_FALSE(unknown);
    EXPECT_EQ(latest[3], kStores);
    EXPECT_EQ(latest[100], kStores + 0.5);
    EXPECT_EQ(latest[7], kStores - kStores % 3);
    EXPECT_EQ(slots.take([](std::uint32_t, double) {}), 0u);
}

} // namespace
} // namespace talven::test
