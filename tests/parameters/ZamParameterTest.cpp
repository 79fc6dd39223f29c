// A real third-party plug-in: ZamCompX2 from zam-plugins (built with DPF,
// not the Steinberg SDK), whose makeup gain must change the very next block.
#include "ParameterTestSupport.h"
#include "IsolatedRun.h"
#include "ZamPackages.h"

#include <cmath>

namespace talven::test {
namespace {

constexpr std::uint32_t kMakeup = 8;

double rms(const std::vector<float>& samples)
{
    double sum = 0;
    for (float sample : samples)
        sum += static_cast<double>(sample) * sample;
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

class ZamParameterTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        TALVEN_SKIP_WITHOUT_ZAM();
    }
};

TEST_F(ZamParameterTest, RaisingZamCompX2sMakeupGainMakesTheNextBlockLouder)
{
    const HSTREAM stream = decodeStream();
    const std::uint32_t handle =
        talven::test::attachForTest(stream, zamPackage("ZamCompX2").c_str(), 0, 0, 0, nullptr, "zam");
    ASSERT_NE(handle, 0u);

    TALVEN_PARAMETERINFO info{};
    ASSERT_EQ(TALVEN_GetParamInfo(handle, static_cast<int32_t>(kMakeup), &info), 0);
    ASSERT_EQ(info.id, kMakeup);
    ASSERT_EQ(info.title[0], 'M');

    for (int i = 0; i < 4; ++i)
        pull(stream, 1024);
    const double before = rms(pull(stream, 1024).samples);
    ASSERT_EQ(TALVEN_SetParam(handle, kMakeup, 1.0f), 0);
    EXPECT_EQ(TALVEN_GetParam(handle, kMakeup), 1.0);
    const double after = rms(pull(stream, 1024).samples);
    EXPECT_GT(after, before * 2) << "before " << before << ", after " << after;
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
}

} // namespace
} // namespace talven::test
