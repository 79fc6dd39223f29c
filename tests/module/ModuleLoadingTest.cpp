#include "ModuleTestSupport.h"

#include "sdk/Module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using VST3::Hosting::Module;

namespace talven::test {
namespace {

#if defined(_WIN32)
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

TEST(ModuleLoading, PackageFolderLoadsItsInnerLibraryWithTheConsoleLinesInOrder)
{
    ConsoleCapture console;
    std::string error = "untouched";
    Module::Ptr module = Module::create(packagePath("MinimalEffect"), error);
    std::string lines = console.lines();

    ASSERT_NE(module, nullptr) << error;
    EXPECT_EQ(error, "untouched");
    EXPECT_TRUE(module->getFactory());
    EXPECT_TRUE(isLibraryLoaded(innerLibraryPath("MinimalEffect")));
    EXPECT_EQ(lines, "create: start\ncreate: declaration\nload: start\nload: log(1)\n"
                     "loadAsPackage: start\ncreate: load module\n");
}

TEST(ModuleLoading, LibraryFileLoadsOnThePlainRoute)
{
    ConsoleCapture console;
    std::string error;
    Module::Ptr module = Module::create(innerLibraryPath("MinimalEffect"), error);
    std::string lines = console.lines();

    ASSERT_NE(module, nullptr) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(lines, "create: start\ncreate: declaration\nload: start\nload: log(1)\n"
                     "loadAsDll: start\ncreate: load module\n");
}

TEST(ModuleLoading, PackagePathWithTrailingSeparatorsNamesTheSamePackage)
{
    std::string error;
    for (std::string suffix : {std::string(1, kSeparator), std::string(2, kSeparator)}) {
        ConsoleCapture console;
        Module::Ptr module = Module::create(packagePath("MinimalEffect") + suffix, error);
        EXPECT_NE(module, nullptr) << error;
        EXPECT_NE(console.lines().find("loadAsPackage: start\n"), std::string::npos);
    }
#if defined(_WIN32)
    ConsoleCapture console;
    Module::Ptr module = Module::create(packagePath("MinimalEffect") + "/", error);
    console.lines();
    EXPECT_NE(module, nullptr) << error;
#endif
}

TEST(ModuleLoading, MissingFileFailsOnThePlainRouteWithTheSystemText)
{
    ConsoleCapture console;
    std::string error;
    std::string path = packagePath("DoesNotExist") + "-file";
    Module::Ptr module = Module::create(path, error);
    std::string lines = console.lines();

    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(error.rfind(kPlainLoadFailurePrefix, 0), 0u) << error;
    EXPECT_GT(error.size(), std::string(kPlainLoadFailurePrefix).size());
    EXPECT_EQ(lines, "create: start\ncreate: declaration\nload: start\nload: log(1)\n"
                     "loadAsDll: start\ncreate: end\n");
}

TEST(ModuleLoading, DamagedLibraryFileFailsCleanly)
{
    {
        std::ofstream damaged("Damaged.vst3", std::ios::binary);
        damaged << "MZ this is not a library at all";
    }
    ConsoleCapture console;
    std::string error;
    Module::Ptr module = Module::create(std::string("Damaged.vst3"), error);
    console.lines();
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(error.rfind(kPlainLoadFailurePrefix, 0), 0u) << error;
}

TEST(ModuleLoading, PackageWithoutInnerLibraryFailsWithoutDescription)
{
    std::string folder = "Empty.vst3";
    std::filesystem::create_directories(folder);
    ConsoleCapture console;
    std::string error;
    Module::Ptr module = Module::create(folder, error);
    std::string lines = console.lines();

    EXPECT_EQ(module, nullptr);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(lines, "create: start\ncreate: declaration\nload: start\nload: log(1)\n"
                     "loadAsPackage: start\ncreate: end\n");
}

TEST(ModuleLoading, EachFaultyPluginFailsWithItsTextAndStillRunsItsExit)
{
    struct Row {
        const char* plugin;
        std::string error;
        const char* order; // entry points the plug-in saw, in order
    };
    const Row rows[] = {
        {"NoFactory", kNoFactoryText, "X"},
        {"InitFails", kInitFailedText, "IX"},
        {"NullFactory", "Calling 'GetPluginFactory' returned nullptr", "IFX"},
    };
    for (const Row& row : rows) {
        for (const std::string& path : {packagePath(row.plugin), innerLibraryPath(row.plugin)}) {
            PinnedPlugin pin(row.plugin);
            TalvenTestEntryCounts before = pin.counts();
            ConsoleCapture console;
            std::string error;
            Module::Ptr module = Module::create(path, error);
            std::string lines = console.lines();

            EXPECT_EQ(module, nullptr) << path;
            EXPECT_EQ(error, row.error) << path;
            EXPECT_EQ(lines.substr(lines.rfind("create:")), "create: end\n") << path;
            std::string order = pin.counts().order;
            EXPECT_EQ(order.substr(std::string(before.order).size()), row.order) << path;
        }
        EXPECT_FALSE(isLibraryLoaded(innerLibraryPath(row.plugin))) << row.plugin;
    }
}

TEST(ModuleLoading, UnusablePathsFailBeforeAnySystemCall)
{
    const std::pair<std::string, std::string> rows[] = {
        {"", "The module path is empty"},
        {std::string("MinimalEffect\0.vst3", 19), "The module path contains a zero byte"},
        {"Plug\xC3(.vst3", "The module path is not valid UTF-8"},
        {packagePath("MinimalEffect") + "\xFF", "The module path is not valid UTF-8"},
    };
    for (const auto& row : rows) {
        ConsoleCapture console;
        std::string error;
        EXPECT_EQ(Module::create(row.first, error), nullptr);
        EXPECT_EQ(error, row.second);
        EXPECT_EQ(console.lines(), "create: start\ncreate: declaration\nload: start\ncreate: end\n");
    }
    std::string error;
    EXPECT_EQ(Module::create(static_cast<const char*>(nullptr), error), nullptr);
    EXPECT_EQ(error, "The module path is null");
}

TEST(ModuleLoading, NonAsciiNamesLoadOnBothRoutes)
{
    namespace fs = std::filesystem;
    const std::string name = "D\xC3\xA9lai \xE2\x99\xAA";
#if defined(_WIN32)
    const std::string innerName = name + ".vst3";
#else
    const std::string innerName = name + ".so";
#endif
    fs::path inner = fs::u8path(name + ".vst3") / "Contents" / TALVEN_TEST_PLUGIN_ARCH;
    fs::create_directories(inner);
    // Removed first: MinGW's copy_file fails on an existing file even when
    // told to overwrite it.
    for (const fs::path& copy : {inner / fs::u8path(innerName), fs::u8path(name + ".dll")}) {
        fs::remove(copy);
        fs::copy_file(fs::u8path(innerLibraryPath("MinimalEffect")), copy);
    }

    for (const std::string& path : {name + ".vst3", name + ".dll"}) {
        ConsoleCapture console;
        std::string error;
        Module::Ptr module = Module::create(path, error);
        console.lines();
        EXPECT_NE(module, nullptr) << error;
    }
}

} // namespace
} // namespace talven::test
