// What an attach does beyond making the plug-in, as the VST 3 host workflow
// has it: the controller learns the component's state, and the factory the
// host context.
#include "bass.h" // the test engine's full API, first: the library's own declarations share its guard

#include "EntryLog.h"
#include "host/HostContext.h"
#include "platform/DynamicLibrary.h"
#include "registry/Registry.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talven {
namespace {

std::string packagePath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

// No load hook runs for the statically linked internals.
class RegistryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { registryLoad(); }
    void TearDown() override { registryUnload(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new RegistryEnvironment);

DWORD CALLBACK ramp(HSTREAM, void* buffer, DWORD length, void*)
{
    auto* samples = static_cast<float*>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i)
        samples[i] = static_cast<float>(i % 32) / 64.0f;
    return length;
}

class HostWorkflowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr));
        stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, ramp, nullptr);
        ASSERT_NE(stream, 0u);
    }
    void TearDown() override { BASS_Free(); }

    std::uint32_t attach(const std::string& plugin)
    {
        testing::internal::CaptureStdout();
        const std::uint32_t handle =
            TALVEN_ChannelSetDSP(stream, packagePath(plugin).c_str(), 0, 0, 0, 0, 0, nullptr, "workflow");
        testing::internal::GetCapturedStdout();
        return handle;
    }

    HSTREAM stream = 0;
};

TEST_F(HostWorkflowTest, TheControllerReportsWhatTheProcessorRunsRightAfterAttach)
{
    const std::uint32_t handle = attach("StateAhead");
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(TALVEN_GetParam(handle, 0), 0.8); // the component's, not the controller's default 0.25

    std::vector<float> block(512);
    ASSERT_EQ(BASS_ChannelGetData(stream, block.data(), 512 * sizeof(float)), 512 * sizeof(float));
    for (size_t i = 0; i < block.size(); ++i)
        ASSERT_FLOAT_EQ(block[i], static_cast<float>(i % 32) / 64.0f * 1.6f) << i;
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
}

TEST_F(HostWorkflowTest, TheFactoryIsGivenTheLibrarysHostObjectOnceEachTimeItsModuleIsLoaded)
{
    std::string error;
    LibraryHandle pin = loadLibrary(packagePath("MinimalEffect") + "/Contents/" TALVEN_TEST_PLUGIN_ARCH
#ifdef _WIN32
                                        "/MinimalEffect.vst3",
#else
                                        "/MinimalEffect.so",
#endif
                                    error);
    ASSERT_NE(pin, nullptr) << error;
    auto read = reinterpret_cast<TalvenTestEntryCountsProc>(librarySymbol(pin, TALVEN_TEST_ENTRY_COUNTS_SYMBOL));
    ASSERT_NE(read, nullptr);
    TalvenTestEntryCounts counts{};

    const std::uint32_t first = attach("MinimalEffect");
    const std::uint32_t second = attach("MinimalEffect");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    read(&counts);
    EXPECT_EQ(counts.hostContextCalls, 1);
    EXPECT_EQ(counts.hostContext, static_cast<void*>(static_cast<Steinberg::FUnknown*>(&hostApplication())));

    TALVEN_ChannelRemoveDSP(0, first);
    TALVEN_ChannelRemoveDSP(0, second);
    const std::uint32_t third = attach("MinimalEffect");
    ASSERT_NE(third, 0u);
    read(&counts);
    EXPECT_EQ(counts.hostContextCalls, 2);
    TALVEN_ChannelRemoveDSP(0, third);
    freeLibrary(pin);
}

} // namespace
} // namespace talven
