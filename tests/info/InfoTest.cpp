// TALVEN_GetInfo and the other exports beyond the add-on interface: what
// they fill in, and what every kind of bad input gets back.
#include "ParameterTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace talven::test {
namespace {

const std::string kRecorder = TALVEN_TEST_PLUGIN_DIR "/Recorder.vst3";

class InfoTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        stream = decodeStream();
        handle = attach(stream, "Recorder");
        ASSERT_NE(handle, 0u);
    }
    void TearDown() override
    {
        if (handle)
            TALVEN_ChannelRemoveDSP(0, handle);
        AttachedTest::TearDown();
    }

    HSTREAM stream = 0;
    std::uint32_t handle = 0;
};

void TALVEN_CALL ignoreReport(uint32_t, uint32_t, double, void*) {}

TEST_F(InfoTest, TheInformationDescribesTheAttachedClassItsBusesAndItsParameters)
{
    TALVEN_INFO info;
    std::memset(&info, 0x5A, sizeof info);
    info.size = sizeof info;
    ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
    EXPECT_EQ(info.size, sizeof info);
    EXPECT_EQ(info.plugin.size, sizeof info.plugin);
    EXPECT_STREQ(info.plugin.name, "Talven Recorder");
    EXPECT_STREQ(info.plugin.vendor, "Talven Tests");
    EXPECT_STREQ(info.plugin.category, "Audio Module Class");
    EXPECT_STREQ(info.plugin.subCategories, "Fx");
    EXPECT_EQ(std::strlen(info.plugin.classId), 32u);
    EXPECT_EQ(info.inputChannels, 2);
    EXPECT_EQ(info.outputChannels, 2);
    EXPECT_EQ(info.latencySamples, 0);
    EXPECT_EQ(info.tailSamples, 0u);
    EXPECT_EQ(info.hasEditor, 0);
    EXPECT_EQ(info.parameterCount, TALVEN_GetParamCount(handle));

    // The listing of the module says the same of the class.
    TALVEN_CLASSINFO classes[2] = {};
    classes[0].size = sizeof classes[0];
    ASSERT_EQ(TALVEN_GetModuleClasses(kRecorder.c_str(), classes, 2), 2);
    EXPECT_EQ(std::memcmp(&classes[0], &info.plugin, sizeof classes[0]), 0);
}

TEST_F(InfoTest, APluginWithAnEditorViewSaysSo)
{
    const std::uint32_t withEditor = attach(stream, "EditorEffect");
    ASSERT_NE(withEditor, 0u);
    TALVEN_INFO info{};
    info.size = sizeof info;
    ASSERT_EQ(TALVEN_GetInfo(withEditor, &info), 1);
    EXPECT_EQ(info.hasEditor, 1);
    EXPECT_EQ(info.parameterCount, 1);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, withEditor), 1);
}

// A plug-in's GUI can be heavy: the attach builds no view, the first
// information asks for one (and lets it go unshown), and the answer is kept.
TEST_F(InfoTest, WhetherThereIsAnEditorIsAskedOnceWhenTheInformationFirstNeedsIt)
{
    const RecordedPlugin recorder("Recorder");
    const std::uint32_t second = attach(stream, "Recorder");
    ASSERT_NE(second, 0u);
    EXPECT_TRUE(callsStartingWith(recorder, "Controller::createView").empty());
    for (int round = 0; round < 2; ++round) {
        TALVEN_INFO info{};
        info.size = sizeof info;
        ASSERT_EQ(TALVEN_GetInfo(second, &info), 1);
        EXPECT_EQ(info.hasEditor, 0);
        EXPECT_EQ(callsStartingWith(recorder, "Controller::createView"),
                  std::vector<std::string>{"Controller::createView editor"});
    }
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, second), 1);
}

TEST_F(InfoTest, GetInfoRefusesBadHandlesAndRecordsAndChangesNothingThen)
{
    TALVEN_INFO info;
    std::memset(&info, 0x5A, sizeof info);
    info.size = sizeof info;
    const TALVEN_INFO before = info;
    EXPECT_EQ(TALVEN_GetInfo(0, &info), 0);
    EXPECT_EQ(TALVEN_GetInfo(handle + 1000, &info), 0);
    EXPECT_EQ(TALVEN_GetInfo(stream, &info), 0); // a channel is no instance
    EXPECT_EQ(TALVEN_GetInfo(handle, nullptr), 0);
    info.size = sizeof info - 1;
    EXPECT_EQ(TALVEN_GetInfo(handle, &info), 0);
    info.size = 0;
    EXPECT_EQ(TALVEN_GetInfo(handle, &info), 0);
    info.size = sizeof info;
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);

    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(TALVEN_GetInfo(handle, &info), 0); // stale
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    handle = 0;
}

TEST_F(InfoTest, ALargerRecordKeepsWhatLiesBeyondThisVersionsFields)
{
    struct Larger {
        TALVEN_INFO info;
        char later[16];
    } larger;
    std::memset(&larger, 0x5A, sizeof larger);
    larger.info.size = sizeof larger;
    ASSERT_EQ(TALVEN_GetInfo(handle, &larger.info), 1);
    EXPECT_EQ(larger.info.size, sizeof larger);
    for (char c : larger.later)
        EXPECT_EQ(c, 0x5A);
}

TEST_F(InfoTest, ModuleListingRefusesBadPathsCapacitiesAndRecordsWithMinusOne)
{
    TALVEN_CLASSINFO classes[2];
    std::memset(classes, 0x5A, sizeof classes);
    classes[0].size = sizeof classes[0];
    EXPECT_EQ(TALVEN_GetModuleClasses(nullptr, classes, 2), -1);
    EXPECT_EQ(TALVEN_GetModuleClasses("", classes, 2), -1);
    EXPECT_EQ(TALVEN_GetModuleClasses("/no/such/Plugin.vst3", classes, 2), -1);
    EXPECT_EQ(TALVEN_GetModuleClasses("Recorder\xC3\x28.vst3", classes, 2), -1);
    EXPECT_EQ(TALVEN_GetModuleClasses(kRecorder.c_str(), classes, -1), -1);
    EXPECT_EQ(TALVEN_GetModuleClasses(kRecorder.c_str(), nullptr, 2), -1);
    classes[0].size = sizeof classes[0] - 1;
    EXPECT_EQ(TALVEN_GetModuleClasses(kRecorder.c_str(), classes, 2), -1);
    EXPECT_EQ(static_cast<unsigned char>(classes[0].name[0]), 0x5Au);
    EXPECT_EQ(static_cast<unsigned char>(classes[1].name[0]), 0x5Au);
    // Counting alone needs no records.
    EXPECT_EQ(TALVEN_GetModuleClasses(kRecorder.c_str(), nullptr, 0), 2);
}

TEST_F(InfoTest, TheCallbackAndTransportRefuseUnknownAndDetachedHandles)
{
    EXPECT_EQ(TALVEN_SetParamCallback(0, ignoreReport, nullptr), 0);
    EXPECT_EQ(TALVEN_SetParamCallback(handle + 1000, ignoreReport, nullptr), 0);
    EXPECT_EQ(TALVEN_SetParamCallback(handle, ignoreReport, nullptr), 1);
    EXPECT_EQ(TALVEN_SetParamCallback(handle, nullptr, nullptr), 1);
    EXPECT_EQ(TALVEN_SetTransport(0, 120, 4, 4), 0);
    EXPECT_EQ(TALVEN_SetTransport(handle + 1000, 120, 4, 4), 0);
    EXPECT_EQ(TALVEN_SetTransport(handle, 120, 4, 4), 1);

    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(TALVEN_SetParamCallback(handle, ignoreReport, nullptr), 0);
    EXPECT_EQ(TALVEN_SetTransport(handle, 120, 4, 4), 0);
    handle = 0;
}

TEST_F(InfoTest, TransportValuesOutsideTheirRangesAreRefused)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double tempo : {0.0, 0.999, 999.001, -120.0, nan, infinity})
        EXPECT_EQ(TALVEN_SetTransport(handle, tempo, 4, 4), 0) << tempo;
    for (int numerator : {0, -1, 65})
        EXPECT_EQ(TALVEN_SetTransport(handle, 120, numerator, 4), 0) << numerator;
    for (int denominator : {0, 3, 6, 12, 128, -4})
        EXPECT_EQ(TALVEN_SetTransport(handle, 120, 4, denominator), 0) << denominator;
    for (int denominator : {1, 2, 4, 8, 16, 32, 64})
        EXPECT_EQ(TALVEN_SetTransport(handle, 60, 7, denominator), 1) << denominator;
    EXPECT_EQ(TALVEN_SetTransport(handle, 1, 1, 1), 1);
    EXPECT_EQ(TALVEN_SetTransport(handle, 999, 64, 64), 1);
}

TEST(VersionTest, TheVersionIsTheProjectsAsMajorMinorRevisionBuild)
{
    EXPECT_EQ(TALVEN_GetVersion(), TALVEN_BUILD_VERSION);
}

} // namespace
} // namespace talven::test
