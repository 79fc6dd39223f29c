// The state in memory of every zam-plugin whose state can be recalled at
// all: taken from one instance and given to a fresh one, it gives back the
// same bytes and the same sound.
#include "PresetTestSupport.h"
#include "IsolatedRun.h"
#include "ZamPackages.h"

#include "bass.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace talven {
namespace {

constexpr int kFrames = 512;
constexpr int kChannels = 2;

DWORD CALLBACK chirp(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* t = static_cast<long*>(user);
    float* out = static_cast<float*>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); i += kChannels, ++*t) {
        const double x = static_cast<double>(*t);
        for (int c = 0; c < kChannels; ++c)
            out[i + static_cast<DWORD>(c)] =
                static_cast<float>(0.3 * std::sin(x * 0.01 + c) + 0.2 * std::sin(x * 0.31) + 0.1 * std::sin(x * 1.7));
    }
    return length;
}

// A stereo decode channel with the plug-in attached.
class Chain {
public:
    explicit Chain(const std::string& package)
    {
        stream_ = BASS_StreamCreate(44100, kChannels, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, chirp, time_.get());
        handle_ = talven::test::attachForTest(stream_, package.c_str(), 0, 0, 0, nullptr, nullptr);
    }
    ~Chain()
    {
        TALVEN_ChannelRemoveDSP(stream_, handle_);
        BASS_StreamFree(stream_);
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    uint32_t handle() const { return handle_; }
    std::vector<float> pull(int blocks)
    {
        std::vector<float> all;
        std::vector<float> block(kFrames * kChannels);
        for (int i = 0; i < blocks; ++i) {
            BASS_ChannelGetData(stream_, block.data(), static_cast<DWORD>(block.size() * sizeof(float)));
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }
    test::Bytes state() const
    {
        const int32_t size = TALVEN_GetState(handle_, nullptr, 0);
        if (size <= 0)
            return {};
        test::Bytes bytes(static_cast<size_t>(size));
        return TALVEN_GetState(handle_, bytes.data(), size) == size ? bytes : test::Bytes{};
    }

private:
    std::unique_ptr<long> time_ = std::make_unique<long>(0);
    DWORD stream_ = 0;
    uint32_t handle_ = 0;
};

// The plug-ins the validator knows cannot take back their own state.
bool stateKnownToFail(const std::string& package)
{
    std::ifstream known(TALVEN_SOURCE_DIR "/tests/validate/known-failures");
    std::string line;
    while (std::getline(known, line)) {
        std::istringstream words(line);
        std::string plugin, check;
        words >> plugin >> check;
        if (check == "state" && package.find("/" + plugin + ".vst3") != std::string::npos)
            return true;
    }
    return false;
}

// Every settable parameter moved off its default.
void moveSettings(uint32_t handle)
{
    const int32_t count = TALVEN_GetParamCount(handle);
    for (int32_t index = 0; index < count; ++index) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, index, &info) != 0)
            continue;
        const int32_t unwanted = 2 /* read-only */ | 0x8000 /* program change */ | 0x10000 /* bypass */;
        if ((info.flags & 1) == 0 || (info.flags & unwanted) != 0)
            continue;
        TALVEN_SetParam(handle, info.id, 0.35f + 0.07f * static_cast<float>(index % 5));
    }
}

double largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double largest = a.size() == b.size() ? 0 : 1e9;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, std::fabs(static_cast<double>(a[i]) - b[i]));
    return largest;
}

struct ZamStateTest : ::testing::Test {
    static void SetUpTestSuite() { BASS_Init(0, 44100, 0, nullptr, nullptr); }
    void SetUp() override { TALVEN_SKIP_WITHOUT_ZAM(); }
    static void TearDownTestSuite() { BASS_Free(); }
};

TEST_F(ZamStateTest, AStateGivenToAFreshInstanceGivesBackTheSameBytesAndSound)
{
    int tried = 0;
    for (const std::string& package : test::zamPackages()) {
        if (stateKnownToFail(package))
            continue;
        SCOPED_TRACE(package);
        const test::PluginLeaksIgnored leaks(package);
        Chain original(package);
        ASSERT_NE(original.handle(), 0u);
        original.pull(1);
        moveSettings(original.handle());
        original.pull(1);
        const test::Bytes state = original.state();
        ASSERT_FALSE(state.empty());

        Chain fresh(package);
        ASSERT_NE(fresh.handle(), 0u);
        // The same input as the original: a block at the defaults, the rest
        // at the state's values.
        fresh.pull(1);
        ASSERT_EQ(TALVEN_SetState(fresh.handle(), state.data(), static_cast<int32_t>(state.size())), 1);
        fresh.pull(1);
        EXPECT_EQ(test::hex(fresh.state()), test::hex(state));
        EXPECT_LT(largestDifference(original.pull(40), fresh.pull(40)), 1e-4);
        ++tried;
    }
    EXPECT_GE(tried, test::forZamSet(10, 6));
}

} // namespace
} // namespace talven
