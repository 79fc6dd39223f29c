#include "sdk/Win32Module.h"

#include <gtest/gtest.h>

namespace VST3::Hosting {
namespace {

TEST(Win32LoadError, KnownCodesCarryTheSystemMessageWithItsLineEnd)
{
    std::string text = describeLoadLibraryFailure(ERROR_MOD_NOT_FOUND);
    ASSERT_EQ(text.rfind("LoadLibray failed: ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("LoadLibray failed: ").size());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(Win32LoadError, CodesWithoutSystemMessageGiveTheNumber)
{
    // Customer-defined codes (bit 29) have no system message.
    EXPECT_EQ(describeLoadLibraryFailure(0x2000ABCD), "LoadLibrary failed with error number : 536914893");
}

} // namespace
} // namespace VST3::Hosting
