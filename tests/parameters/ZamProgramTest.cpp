// Programs of real third-party plug-ins: zam-plugins (DPF) expose their
// factory presets as the root unit's program list with a "Current Program"
// parameter.
#include "ParameterTestSupport.h"
#include "IsolatedRun.h"
#include "ZamPackages.h"

#include <cmath>
#include <mutex>
#include <utility>

namespace talven::test {
namespace {

struct Heard {
    static void TALVEN_CALL proc(std::uint32_t, std::uint32_t id, double value, void* user)
    {
        auto* heard = static_cast<Heard*>(user);
        const std::lock_guard<std::mutex> guard(heard->lock);
        heard->reports.emplace_back(id, value);
    }
    std::mutex lock;
    std::vector<std::pair<std::uint32_t, double>> reports;
};

double largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double largest = a.size() == b.size() ? 0 : 1e9;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, std::fabs(static_cast<double>(a[i]) - b[i]));
    return largest;
}

class ZamProgramTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        TALVEN_SKIP_WITHOUT_ZAM();
    }
};

// A program selected plays as the parameter values it reported, set one by
// one on a twin, play: the processor took the program with the next block.
TEST_F(ZamProgramTest, ASelectedProgramReportsItsValuesAndPlaysThemFromTheNextBlock)
{
    int withPrograms = 0;
    for (const std::string& package : zamPackages()) {
        SCOPED_TRACE(package);
        const PluginLeaksIgnored leaks(package);
        const HSTREAM stream = decodeStream();
        const std::uint32_t handle = talven::test::attachForTest(stream, package.c_str(), 0, 0, 0, nullptr, "zam");
        ASSERT_NE(handle, 0u);
        const std::int32_t count = TALVEN_GetProgramCount(handle);
        if (count < 2) {
            TALVEN_ChannelRemoveDSP(stream, handle);
            continue;
        }
        ++withPrograms;
        char name[128] = {};
        ASSERT_EQ(TALVEN_GetProgramName(handle, count - 1, name, sizeof name), 1);
        EXPECT_NE(name[0], '\0');
        const std::int32_t current = TALVEN_GetProgram(handle);
        EXPECT_GE(current, 0);
        EXPECT_LT(current, count);

        const HSTREAM twinStream = decodeStream();
        const std::uint32_t twin = talven::test::attachForTest(twinStream, package.c_str(), 0, 0, 0, nullptr, "zam");
        ASSERT_NE(twin, 0u);
        pull(stream);
        pull(twinStream);

        Heard heard;
        ASSERT_EQ(TALVEN_SetParamCallback(handle, Heard::proc, &heard), 1);
        const std::int32_t chosen = current == count - 1 ? 0 : count - 1;
        ASSERT_EQ(TALVEN_SetProgram(handle, chosen), 1);
        EXPECT_EQ(TALVEN_GetProgram(handle), chosen);
        std::vector<std::pair<std::uint32_t, double>> reports;
        {
            const std::lock_guard<std::mutex> guard(heard.lock);
            reports = heard.reports;
        }
        EXPECT_FALSE(reports.empty());
        for (const auto& [id, value] : reports) {
            EXPECT_NEAR(TALVEN_GetParam(handle, id), value, 1e-6) << id;
            TALVEN_SetParam(twin, id, static_cast<float>(value));
        }
        std::vector<float> played, expected;
        for (int i = 0; i < 20; ++i) {
            const auto block = pull(stream).samples;
            const auto twinBlock = pull(twinStream).samples;
            played.insert(played.end(), block.begin(), block.end());
            expected.insert(expected.end(), twinBlock.begin(), twinBlock.end());
        }
        EXPECT_LT(largestDifference(played, expected), 1e-4);
        TALVEN_ChannelRemoveDSP(twinStream, twin);
        TALVEN_ChannelRemoveDSP(stream, handle);
    }
    EXPECT_GE(withPrograms, forZamSet(5, 3));
}

TEST_F(ZamProgramTest, ZamEQ2NamesItsProgramsAndStartsAtTheFirst)
{
    const HSTREAM stream = decodeStream();
    const std::uint32_t handle =
        talven::test::attachForTest(stream, zamPackage("ZamEQ2").c_str(), 0, 0, 0, nullptr, "zam");
    ASSERT_NE(handle, 0u);
    const std::int32_t count = TALVEN_GetProgramCount(handle);
    ASSERT_GT(count, 1);
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < count; ++i) {
        char name[128] = {};
        ASSERT_EQ(TALVEN_GetProgramName(handle, i, name, sizeof name), 1);
        names.emplace_back(name);
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "Zero"), names.end()) << ::testing::PrintToString(names);
    EXPECT_EQ(TALVEN_GetProgram(handle), 0);
    EXPECT_EQ(TALVEN_SetProgram(handle, count), 0);
}

} // namespace
} // namespace talven::test
