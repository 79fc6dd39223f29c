// A module of several classes: listing them in factory order without making
// any, attaching either effect by its class ID, and refusing the instrument,
// the controller and IDs the module does not hold.
#include "ParameterTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace talven::test {
namespace {

const std::string kModule = TALVEN_TEST_PLUGIN_DIR "/ClassChoice.vst3";
// The IDs of the module's classes, in factory order, as FUID text gives them.
const char kPassThroughId[] = "7A1E00055E7A4C119D3B2F600000A001";
const char kHalfGainId[] = "7A1E00055E7A4C119D3B2F600000A002";
const char kInstrumentId[] = "7A1E00055E7A4C119D3B2F600000A003";
const char kControllerId[] = "7A1E00055E7A4C119D3B2F600000C001";

std::string lowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

class ClassChoiceTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        stream = decodeStream();
        ASSERT_NE(stream, 0u);
    }
    void TearDown() override
    {
        for (std::uint32_t handle : handles)
            TALVEN_ChannelRemoveDSP(0, handle);
        AttachedTest::TearDown();
    }

    std::uint32_t attachClass(const char* classId)
    {
        const std::uint32_t handle =
            TALVEN_ChannelSetDSPClass(stream, kModule.c_str(), classId, 0, 0, 0, 0, nullptr, "");
        if (handle)
            handles.push_back(handle);
        return handle;
    }

    std::string attachedName(std::uint32_t handle)
    {
        TALVEN_INFO info{};
        info.size = sizeof info;
        return TALVEN_GetInfo(handle, &info) == 1 ? std::string(info.plugin.name) + "/" + info.plugin.classId : "";
    }

    DWORD dspsOnStream()
    {
        DWORD dsps = 0;
        BASSTEST_GetCallbackCounts(stream, &dsps, nullptr);
        return dsps;
    }

    HSTREAM stream = 0;
    std::vector<std::uint32_t> handles;
};

TEST_F(ClassChoiceTest, TheListingGivesEveryClassInFactoryOrderWithItsDetails)
{
    ASSERT_EQ(TALVEN_GetModuleClasses(kModule.c_str(), nullptr, 0), 4);

    std::vector<TALVEN_CLASSINFO> classes(4);
    classes[0].size = sizeof(TALVEN_CLASSINFO);
    ASSERT_EQ(TALVEN_GetModuleClasses(kModule.c_str(), classes.data(), 4), 4);
    const char* names[] = {"Talven Choice Pass-Through", "Talven Choice Half Gain", "Talven Choice Instrument",
                           "Talven Choice Controller"};
    const char* ids[] = {kPassThroughId, kHalfGainId, kInstrumentId, kControllerId};
    const char* subCategories[] = {"Fx", "Fx|Dynamics", "Instrument|Synth", ""};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(classes[i].size, sizeof(TALVEN_CLASSINFO));
        EXPECT_STREQ(classes[i].name, names[i]);
        EXPECT_STREQ(classes[i].classId, ids[i]);
        EXPECT_STREQ(classes[i].subCategories, subCategories[i]);
        EXPECT_STREQ(classes[i].vendor, "Talven Tests");
        EXPECT_NE(classes[i].sdkVersion[0], '\0');
    }
    EXPECT_STREQ(classes[0].category, "Audio Module Class");
    EXPECT_STREQ(classes[2].category, "Audio Module Class");
    EXPECT_STREQ(classes[3].category, "Component Controller Class");
}

TEST_F(ClassChoiceTest, ASmallerCapacityFillsOnlyThatManyAndStillCountsThemAll)
{
    std::vector<TALVEN_CLASSINFO> classes(3);
    std::memset(classes.data(), 0x5A, sizeof(TALVEN_CLASSINFO) * 3);
    classes[0].size = sizeof(TALVEN_CLASSINFO);
    ASSERT_EQ(TALVEN_GetModuleClasses(kModule.c_str(), classes.data(), 2), 4);
    EXPECT_STREQ(classes[1].name, "Talven Choice Half Gain");
    EXPECT_EQ(static_cast<unsigned char>(classes[2].name[0]), 0x5Au); // beyond the capacity: untouched
}

TEST_F(ClassChoiceTest, EitherEffectAttachesByItsClassIdInAnyCaseAndIsTheOneThatPlays)
{
    const std::uint32_t half = attachClass(lowerCase(kHalfGainId).c_str());
    ASSERT_NE(half, 0u);
    EXPECT_EQ(attachedName(half), std::string("Talven Choice Half Gain/") + kHalfGainId);
    EXPECT_TRUE(pull(stream).scaledBy(0.5f));
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, half), 1);

    const std::uint32_t pass = attachClass(kPassThroughId);
    ASSERT_NE(pass, 0u);
    EXPECT_EQ(attachedName(pass), std::string("Talven Choice Pass-Through/") + kPassThroughId);
    EXPECT_TRUE(pull(stream).isDry());
}

TEST_F(ClassChoiceTest, WithoutAClassIdTheFirstEffectIsTaken)
{
    const std::uint32_t handle = attachClass(nullptr);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(attachedName(handle), std::string("Talven Choice Pass-Through/") + kPassThroughId);
}

TEST_F(ClassChoiceTest, TheInstrumentTheControllerAndIdsNotInTheModuleAreRefusedLeavingNothingBehind)
{
    const std::string tooLong = std::string(kHalfGainId) + "0";
    const char* refused[] = {kInstrumentId, kControllerId, "7A1E00055E7A4C119D3B2F600000A009", "A002", "",
                             tooLong.c_str(), "7A1E00055E7A4C119D3B2F600000A0\xC3\xA9", "not a class id at all, really"};
    for (const char* classId : refused) {
        SCOPED_TRACE(classId);
        EXPECT_EQ(attachClass(classId), 0u);
        EXPECT_EQ(dspsOnStream(), 0u);
    }
    EXPECT_TRUE(pull(stream).isDry());
    // A path that names no module fails as an attach does.
    EXPECT_EQ(TALVEN_ChannelSetDSPClass(stream, "/no/such/module.vst3", kHalfGainId, 0, 0, 0, 0, nullptr, ""), 0u);
    EXPECT_EQ(TALVEN_ChannelSetDSPClass(stream, nullptr, kHalfGainId, 0, 0, 0, 0, nullptr, ""), 0u);
    EXPECT_EQ(TALVEN_ChannelSetDSPClass(0, kModule.c_str(), kHalfGainId, 0, 0, 0, 0, nullptr, ""), 0u);
    EXPECT_EQ(dspsOnStream(), 0u);
    // The module still attaches afterwards.
    EXPECT_NE(attachClass(kHalfGainId), 0u);
}

} // namespace
} // namespace talven::test
