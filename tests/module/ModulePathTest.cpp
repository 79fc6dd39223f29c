#include "sdk/ModulePath.h"

#include <gtest/gtest.h>

namespace VST3::Hosting {
namespace {

#if defined(_WIN32)
TEST(ModulePath, PackageLibraryIsContentsArchitectureAndThePackageName)
{
    EXPECT_EQ(packageLibraryPath("C:\\Plugins\\Delay.vst3"), "C:\\Plugins\\Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
    EXPECT_EQ(packageLibraryPath("C:\\Plugins\\Delay.vst3\\"), "C:\\Plugins\\Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
    EXPECT_EQ(packageLibraryPath("C:/Plugins/Delay.vst3//"), "C:/Plugins/Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
    EXPECT_EQ(packageLibraryPath("Delay.vst3"), "Delay.vst3\\Contents\\x86_64-win\\Delay.vst3");
}
#else
TEST(ModulePath, PackageLibraryIsContentsArchitectureAndTheStemWithSo)
{
    EXPECT_EQ(packageLibraryPath("/usr/lib/vst3/Delay.vst3"), "/usr/lib/vst3/Delay.vst3/Contents/x86_64-linux/Delay.so");
    EXPECT_EQ(packageLibraryPath("/usr/lib/vst3/Delay.vst3//"), "/usr/lib/vst3/Delay.vst3/Contents/x86_64-linux/Delay.so");
    EXPECT_EQ(packageLibraryPath("Delay"), "Delay/Contents/x86_64-linux/Delay.so");
    EXPECT_EQ(packageLibraryPath(".vst3"), ".vst3/Contents/x86_64-linux/.vst3.so");
}
#endif

TEST(ModulePath, OnlyNonEmptyWellFormedPathsAreUsable)
{
    EXPECT_EQ(modulePathProblem("Delay.vst3"), nullptr);
    EXPECT_EQ(modulePathProblem("D\xC3\xA9lai.vst3"), nullptr);
    EXPECT_STREQ(modulePathProblem(""), "The module path is empty");
    EXPECT_STREQ(modulePathProblem(std::string("a\0b", 3)), "The module path contains a zero byte");
    EXPECT_STREQ(modulePathProblem("\xC0\xAF"), "The module path is not valid UTF-8");
}

} // namespace
} // namespace VST3::Hosting
