// The parameter calls against the recording gain: what reaches its
// controller, what reaches its processor with the next block, and what
// unknown or detached instances answer.
#include "ParameterTestSupport.h"
#include "TestSupport.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace talven::test {
namespace {

constexpr std::uint32_t kGain = 0;
constexpr std::uint32_t kMix = 1;

std::string utf8Of(const uint16_t* text)
{
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

class ParameterTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        ASSERT_TRUE(plugin.loaded());
        stream = decodeStream();
        handle = attach(stream, "Recorder");
        ASSERT_NE(handle, 0u);
        plugin.clear();
    }
    void TearDown() override
    {
        if (handle)
            TALVEN_ChannelRemoveDSP(0, handle);
        AttachedTest::TearDown();
    }

    RecordedPlugin plugin{"Recorder"};
    HSTREAM stream = 0;
    std::uint32_t handle = 0;
};

TEST_F(ParameterTest, CountAndDescriptionsComeFromTheControllerInItsOrder)
{
    EXPECT_EQ(TALVEN_GetParamCount(handle), 2);

    TALVEN_PARAMETERINFO info{};
    ASSERT_EQ(TALVEN_GetParamInfo(handle, 1, &info), 0);
    EXPECT_EQ(info.id, kMix);
    EXPECT_EQ(utf8Of(info.title), "Mix");
    EXPECT_EQ(utf8Of(info.units), "%");
    EXPECT_EQ(info.defaultNormalizedValue, 1.0);
    ASSERT_EQ(TALVEN_GetParamInfo(handle, 0, &info), 0);
    EXPECT_EQ(info.id, kGain);
    EXPECT_EQ(utf8Of(info.title), "Gain");
    EXPECT_EQ(info.defaultNormalizedValue, 0.25);
}

TEST_F(ParameterTest, AnIndexOutsideTheCountIsRefusedWithoutAskingThePluginForADescription)
{
    TALVEN_PARAMETERINFO info;
    std::memset(&info, 0xA5, sizeof info);
    const TALVEN_PARAMETERINFO before = info;
    for (int32_t index : {2, 100, -1, INT32_MIN, INT32_MAX})
        EXPECT_EQ(TALVEN_GetParamInfo(handle, index, &info), 1) << index; // kResultFalse
    EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
    // A plug-in indexing an array with it would read out of bounds: it is
    // only asked how many parameters it has.
    EXPECT_TRUE(callsStartingWith(plugin, "Controller::getParameterInfo").empty());
    EXPECT_EQ(TALVEN_GetParamInfo(handle, 1, &info), 0);
}

TEST_F(ParameterTest, DisplayTextRoundTripsThroughThePluginsOwnConversion)
{
    char text[64];
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 0.375f), 0);
    ASSERT_EQ(TALVEN_GetParamText(handle, kGain, -1.0, text, sizeof text), 1);
    char given[64];
    ASSERT_EQ(TALVEN_GetParamText(handle, kGain, 0.375, given, sizeof given), 1);
    EXPECT_STREQ(text, given); // below 0: the current value
    double read = -1;
    ASSERT_EQ(TALVEN_GetParamValueFromText(handle, kGain, text, &read), 1);
    EXPECT_NEAR(read, 0.375, 1e-4);
    EXPECT_TRUE(plugin.called("Controller::getParamStringByValue"));

    // Cut at the end of the caller's buffer, still terminated.
    char small[3] = {'x', 'x', 'x'};
    EXPECT_EQ(TALVEN_GetParamText(handle, kGain, 0.375, small, sizeof small), 1);
    EXPECT_EQ(std::string(small), std::string(text).substr(0, 2));
}

TEST_F(ParameterTest, DisplayTextFunctionsRefuseBadInputWithZero)
{
    char text[16] = "unchanged";
    EXPECT_EQ(TALVEN_GetParamText(0, kGain, 0.5, text, sizeof text), 0);
    EXPECT_EQ(TALVEN_GetParamText(handle + 1000, kGain, 0.5, text, sizeof text), 0);
    EXPECT_EQ(TALVEN_GetParamText(handle, kGain, 0.5, nullptr, 16), 0);
    EXPECT_EQ(TALVEN_GetParamText(handle, kGain, 0.5, text, 0), 0);
    EXPECT_EQ(TALVEN_GetParamText(handle, kGain, 1.5, text, sizeof text), 0);
    EXPECT_EQ(TALVEN_GetParamText(handle, kGain, std::nan(""), text, sizeof text), 0);
    EXPECT_STREQ(text, "unchanged");

    double value = 7;
    EXPECT_EQ(TALVEN_GetParamValueFromText(0, kGain, "0.5", &value), 0);
    EXPECT_EQ(TALVEN_GetParamValueFromText(handle, kGain, nullptr, &value), 0);
    EXPECT_EQ(TALVEN_GetParamValueFromText(handle, kGain, "0.5", nullptr), 0);
    EXPECT_EQ(TALVEN_GetParamValueFromText(handle, kGain, "0.5\xFF", &value), 0);
    EXPECT_EQ(TALVEN_GetParamValueFromText(handle, kGain, std::string(200, '1').c_str(), &value), 0);
    EXPECT_EQ(value, 7);

    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(TALVEN_GetParamText(handle, kGain, 0.5, text, sizeof text), 0);
    EXPECT_EQ(TALVEN_GetParamValueFromText(handle, kGain, "0.5", &value), 0);
    handle = 0;
}

TEST_F(ParameterTest, ANullRecordFailsWithoutReachingThePlugin)
{
    EXPECT_EQ(TALVEN_GetParamInfo(handle, 0, nullptr), 1);
    EXPECT_TRUE(plugin.callNames().empty());
}

TEST_F(ParameterTest, SetThenGetRoundTripsTheValueWidenedFromFloat)
{
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 0.25f), 0);
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 0.25);
    ASSERT_EQ(TALVEN_SetParam(handle, kMix, 0.1f), 0);
    EXPECT_EQ(TALVEN_GetParam(handle, kMix), static_cast<double>(0.1f));
    EXPECT_NE(TALVEN_GetParam(handle, kMix), 0.1);
    EXPECT_EQ(callsStartingWith(plugin, "Controller::setParamNormalized"),
              (std::vector<std::string>{"Controller::setParamNormalized 0 0.250000",
                                        "Controller::setParamNormalized 1 0.100000"}));
}

TEST_F(ParameterTest, ValuesOutsideZeroToOneAreClampedAndNotANumberReachesNoPlugin)
{
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 1.5f), 0);
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 1.0);
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, -3.0f), 0);
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 0.0);
    plugin.clear();
    EXPECT_EQ(TALVEN_SetParam(handle, kGain, std::numeric_limits<float>::quiet_NaN()), 1);
    EXPECT_TRUE(plugin.callNames().empty());
    pull(stream);
    EXPECT_EQ(callsStartingWith(plugin, "Processor::parameter"),
              (std::vector<std::string>{"Processor::parameter 0 0.000000"}));
}

TEST_F(ParameterTest, ASetValueReachesTheProcessorWithTheNextBlockOnly)
{
    EXPECT_TRUE(pull(stream).scaledBy(0.5f)); // gain 0.25: out = in * 2 * 0.25
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 0.75f), 0);
    ASSERT_EQ(TALVEN_SetParam(handle, kMix, 0.5f), 0);
    plugin.clear();
    EXPECT_TRUE(pull(stream).scaledBy(1.5f));
    EXPECT_EQ(callsStartingWith(plugin, "Processor::parameter"),
              (std::vector<std::string>{"Processor::parameter 0 0.750000", "Processor::parameter 1 0.500000"}));
    plugin.clear();
    EXPECT_TRUE(pull(stream).scaledBy(1.5f));
    EXPECT_TRUE(callsStartingWith(plugin, "Processor::parameter").empty()) << "each change is delivered once";
}

TEST_F(ParameterTest, AnIdTheControllerRefusesIsNotQueuedForTheProcessor)
{
    EXPECT_NE(TALVEN_SetParam(handle, 77, 0.5f), 0);
    pull(stream);
    EXPECT_TRUE(callsStartingWith(plugin, "Processor::parameter").empty());
}

TEST_F(ParameterTest, UnknownAndDetachedHandlesGetTheFailureValuesAndReachNoController)
{
    const std::uint32_t detached = handle;
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    handle = 0;
    plugin.clear();
    TALVEN_PARAMETERINFO info{};
    for (std::uint32_t gone : {0u, detached, detached + 1000}) {
        EXPECT_EQ(TALVEN_GetParamCount(gone), 0);
        EXPECT_EQ(TALVEN_GetParamInfo(gone, 0, &info), 1);
        EXPECT_EQ(TALVEN_GetParam(gone, kGain), 0.0);
        EXPECT_EQ(TALVEN_SetParam(gone, kGain, 0.5f), 1);
    }
    EXPECT_EQ(info.id, 0u);
    EXPECT_TRUE(plugin.callNames().empty());
}

} // namespace
} // namespace talven::test
