// State round trips through a real third-party plug-in (zam-plugins, built
// with DPF rather than the Steinberg SDK), through the shared library.
#include "PresetTestSupport.h"
#include "IsolatedRun.h"
#include "ZamPackages.h"

#include "bass.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace talven {
namespace {

constexpr int kFrames = 512;

// A mono signal with a little of everything an equaliser acts on.
DWORD CALLBACK chirp(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* t = static_cast<long*>(user);
    float* out = static_cast<float*>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i, ++*t) {
        const double x = static_cast<double>(*t);
        out[i] = static_cast<float>(0.3 * std::sin(x * 0.01) + 0.2 * std::sin(x * 0.31) + 0.1 * std::sin(x * 1.7));
    }
    return length;
}

// One decode channel with the plug-in attached.
class Chain {
public:
    Chain()
    {
        stream_ = BASS_StreamCreate(44100, 1, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, chirp, time_.get());
        handle_ = talven::test::attachForTest(stream_, test::zamPackage("ZamEQ2").c_str(), 0, 0, 0, nullptr, nullptr);
    }
    ~Chain()
    {
        TALVEN_ChannelRemoveDSP(stream_, handle_);
        BASS_StreamFree(stream_);
    }
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    uint32_t handle() const { return handle_; }
    std::vector<float> pull(int blocks = 1)
    {
        std::vector<float> block(kFrames);
        for (int i = 0; i < blocks; ++i)
            BASS_ChannelGetData(stream_, block.data(), kFrames * sizeof(float));
        return block;
    }

private:
    std::unique_ptr<long> time_ = std::make_unique<long>(0);
    DWORD stream_ = 0;
    uint32_t handle_ = 0;
};

// Automatable parameters a user would set, with the value to set each to.
struct Setting {
    uint32_t id;
    float value;
};

std::vector<Setting> settingsFor(uint32_t handle, float base)
{
    std::vector<Setting> settings;
    const int32_t count = TALVEN_GetParamCount(handle);
    for (int32_t index = 0; index < count; ++index) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, index, &info) != 0)
            continue;
        const int32_t unwanted = 2 /* read-only */ | 0x8000 /* program change */ | 0x10000 /* bypass */;
        if ((info.flags & 1) == 0 || (info.flags & unwanted) != 0)
            continue;
        settings.push_back({info.id, base + 0.05f * static_cast<float>(index % 5)});
    }
    return settings;
}

void applySettings(uint32_t handle, const std::vector<Setting>& settings)
{
    for (const Setting& setting : settings)
        TALVEN_SetParam(handle, setting.id, setting.value);
}

double largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, std::fabs(static_cast<double>(a[i]) - b[i]));
    return largest;
}

struct ZamPresetTest : ::testing::Test {
    static void SetUpTestSuite() { BASS_Init(0, 44100, 0, nullptr, nullptr); }
    void SetUp() override { TALVEN_SKIP_WITHOUT_ZAM(); }
    static void TearDownTestSuite() { BASS_Free(); }
    test::ScratchFolder folder;
};

TEST_F(ZamPresetTest, ARecalledPresetBringsBackTheStoredValuesAndSound)
{
    const std::string path = folder.path("ZamEQ2.vstpreset");
    std::vector<Setting> stored;
    {
        Chain chain;
        ASSERT_NE(chain.handle(), 0u);
        stored = settingsFor(chain.handle(), 0.6f);
        ASSERT_FALSE(stored.empty());
        applySettings(chain.handle(), stored);
        chain.pull(); // the processor takes the values with the next block
        // Stepped parameters keep the nearest step.
        for (Setting& setting : stored)
            setting.value = static_cast<float>(TALVEN_GetParam(chain.handle(), setting.id));
        ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, chain.handle()), 1);

        applySettings(chain.handle(), settingsFor(chain.handle(), 0.2f));
        chain.pull();
        ASSERT_EQ(TALVEN_RecallPreset(path.c_str(), chain.handle()), 1);
        for (const Setting& setting : stored)
            EXPECT_NEAR(TALVEN_GetParam(chain.handle(), setting.id), setting.value, 1e-6) << setting.id;
    }

    // Sound: a fresh chain given the preset plays as one given the values
    // directly, and unlike one left at its defaults.
    Chain recalled;
    ASSERT_EQ(TALVEN_RecallPreset(path.c_str(), recalled.handle()), 1);
    Chain direct;
    applySettings(direct.handle(), stored);
    Chain untouched;
    const std::vector<float> fromPreset = recalled.pull(40);
    EXPECT_LT(largestDifference(fromPreset, direct.pull(40)), 1e-4);
    EXPECT_GT(largestDifference(fromPreset, untouched.pull(40)), 1e-2);
}

// zam-plugins read parameter changes only in calls with samples: a store
// made before the next block cannot hand them the values just set. Those
// values must still be what the plug-in holds and plays afterwards.
TEST_F(ZamPresetTest, ValuesSetJustBeforeAStoreAreKeptAndReachTheProcessor)
{
    const std::string path = folder.path("ZamEQ2-early.vstpreset");
    Chain chain;
    ASSERT_NE(chain.handle(), 0u);
    chain.pull();
    const std::vector<Setting> settings = settingsFor(chain.handle(), 0.7f);
    ASSERT_FALSE(settings.empty());
    applySettings(chain.handle(), settings);
    std::vector<double> expected;
    for (const Setting& setting : settings)
        expected.push_back(TALVEN_GetParam(chain.handle(), setting.id));

    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, chain.handle()), 1);
    for (size_t i = 0; i < settings.size(); ++i)
        EXPECT_NEAR(TALVEN_GetParam(chain.handle(), settings[i].id), expected[i], 1e-6) << settings[i].id;

    // The processor plays them: as a chain given the same values after the
    // same first block.
    Chain direct;
    direct.pull();
    applySettings(direct.handle(), settings);
    EXPECT_LT(largestDifference(chain.pull(40), direct.pull(40)), 1e-4);
    // A store after a block holds them.
    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, chain.handle()), 1);
    Chain recalled;
    ASSERT_EQ(TALVEN_RecallPreset(path.c_str(), recalled.handle()), 1);
    for (size_t i = 0; i < settings.size(); ++i)
        EXPECT_NEAR(TALVEN_GetParam(recalled.handle(), settings[i].id), expected[i], 1e-6) << settings[i].id;
}

} // namespace
} // namespace talven
