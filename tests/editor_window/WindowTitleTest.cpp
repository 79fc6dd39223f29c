#include "editor/WindowTitle.h"

#include "WindowTestSupport.h"

#include <gtest/gtest.h>

namespace talven::test {
namespace {

std::wstring shownTitle(HWND hwnd)
{
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

TEST(WindowTitle, ANullTitleGivesAnUntitledWindow)
{
    TestWindow made({200, 100}, false, nullptr);
    ASSERT_TRUE(made.window);
    EXPECT_EQ(shownTitle(made.hwnd), L"");
}

TEST(WindowTitle, TitlesShowTheirUtf8TextAndReplaceWhatIsNotUtf8)
{
    TestWindow valid({200, 100}, false, "\xC3\x89qualiseur \xE2\x82\xAC");
    ASSERT_TRUE(valid.window);
    EXPECT_EQ(shownTitle(valid.hwnd), L"\u00C9qualiseur \u20AC");

    TestWindow damaged({200, 100}, false, "Gain \xFF\xE2\x82");
    ASSERT_TRUE(damaged.window);
    EXPECT_EQ(shownTitle(damaged.hwnd), L"Gain \uFFFD\uFFFD");
}

TEST(WindowTitle, EachIllFormedPartBecomesOneReplacementCharacter)
{
    EXPECT_EQ(windowTitleFromUtf8(""), L"");
    EXPECT_EQ(windowTitleFromUtf8("\xF0\x9F\x8E\xB5"), L"\U0001F3B5"); // a surrogate pair
    EXPECT_EQ(windowTitleFromUtf8("a\xE2\x82" "b"), L"a\uFFFDb");     // truncated: one for the part
    EXPECT_EQ(windowTitleFromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");      // overlong
    EXPECT_EQ(windowTitleFromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD"); // surrogate code point
    EXPECT_EQ(windowTitleFromUtf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD"); // above U+10FFFF
    EXPECT_EQ(windowTitleFromUtf8("\x80x"), L"\uFFFDx");                 // lone continuation byte
}

} // namespace
} // namespace talven::test
