// zam-plugins built from Debian's source by scripts/zam-plugins: the
// instruments Debian ships no VST 3 of, on both targets, and the Windows
// builds of its effects, which only this build provides. Skipped where that
// build is absent (a machine that has not run the script).
#include "BridgeTestSupport.h"

#include "talven.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace talven {
namespace {

#if defined(_WIN32)
constexpr const char* kTree = "windows";
#else
constexpr const char* kTree = "linux";
#endif

// The package folder of one plug-in of this target's build.
std::string builtPackage(const std::string& name)
{
    return std::string(TALVEN_ZAM_BUILD_DIR) + "/" + kTree + "/" + name + ".vst3";
}

bool buildPresent()
{
    return std::filesystem::is_directory(std::string(TALVEN_ZAM_BUILD_DIR) + "/" + kTree);
}

TEST(ZamBuildTest, BuiltInstrumentsLoadAndListAnInstrumentClass)
{
    if (!buildPresent())
        GTEST_SKIP() << TALVEN_ZAM_BUILD_DIR << " holds no zam-plugins build (scripts/zam-plugins makes it)";
    for (const char* name : {"ZamSynth", "ZamPiano"}) {
        const std::string path = builtPackage(name);
        SCOPED_TRACE(path);
        std::vector<TALVEN_CLASSINFO> classes(8);
        classes[0].size = sizeof(TALVEN_CLASSINFO);
        const std::int32_t count = TALVEN_GetModuleClasses(path.c_str(), classes.data(), 8);
        ASSERT_GE(count, 1);
        classes.resize(static_cast<std::size_t>(count < 8 ? count : 8));
        bool instrument = false;
        for (const TALVEN_CLASSINFO& c : classes) {
            if (std::strcmp(c.category, "Audio Module Class") == 0 && std::strstr(c.subCategories, "Instrument"))
                instrument = true;
            EXPECT_EQ(std::strlen(c.classId), 32u) << c.name;
        }
        EXPECT_TRUE(instrument) << "no audio class with an Instrument sub-category";
    }
}

using ZamBuildEffectTest = test::BridgeTest;

struct EffectCase {
    const char* name;
    int channels;
    // A parameter set for the whole run where the defaults would leave the
    // test signal as it is (the compressor's threshold lies above it, the
    // equaliser starts flat), so that matching the reference means the
    // plug-in really processed: ZamCompX2's makeup gain, ZamEQ2's first
    // band's gain, both at their top (DPF puts three parameters of its own
    // before a plug-in's, so their ids are their indices plus 3).
    std::vector<test::ParameterChange> changes;
};

TEST_F(ZamBuildEffectTest, EveryWindowsEffectGivesItsOwnOutputSampleForSample)
{
#if !defined(_WIN32)
    GTEST_SKIP() << "the effects are built for Windows only (Debian ships the Linux ones)";
#else
    if (!buildPresent())
        GTEST_SKIP() << TALVEN_ZAM_BUILD_DIR << " holds no zam-plugins build (scripts/zam-plugins makes it)";
    const EffectCase cases[] = {
        {"ZaMaximX2", 2, {}},  {"ZaMultiCompX2", 2, {}}, {"ZamAutoSat", 1, {}},          {"ZamAutoSat", 2, {}},
        {"ZamCompX2", 2, {{8, 1.0f}}}, {"ZamDelay", 2, {}}, {"ZamEQ2", 1, {{3, 1.0f}}}, {"ZamGateX2", 2, {}},
        {"ZamPhono", 2, {}},   {"ZamTube", 1, {}},       {"ZamTube", 2, {}},
    };
    for (const EffectCase& c : cases) {
        const std::string path = builtPackage(c.name);
        SCOPED_TRACE(path + " on " + std::to_string(c.channels) + " channels");
        EXPECT_GT(expectReferenceOutput(path, c.channels, {512, 4096, 333, 1}, c.changes), 0);
    }
#endif
}

} // namespace
} // namespace talven
