#include "platform/TextConversion.h"

#include <gtest/gtest.h>

namespace talven {
namespace {

TEST(TextConversion, WellFormedUtf8ConvertsIncludingSurrogatePairs)
{
    EXPECT_EQ(utf8ToUtf16(""), std::u16string());
    EXPECT_EQ(utf8ToUtf16("Plug-in.vst3"), u"Plug-in.vst3");
    EXPECT_EQ(utf8ToUtf16("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"), u"\u00E9\u20AC\U0001F3B5");
    EXPECT_EQ(utf16ToUtf8(u"\u00E9\u20AC\U0001F3B5"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5");
}

TEST(TextConversion, MalformedUtf8IsReportedNotGuessed)
{
    for (const char* bad : {
             "\x80",             // lone continuation byte
             "\xC0\xAF",         // overlong '/'
             "\xE0\x80\xAF",     // overlong, three bytes
             "\xED\xA0\x80",     // UTF-16 surrogate
             "\xF4\x90\x80\x80", // above U+10FFFF
             "\xE2\x82",         // truncated
             "ok\xFF",           // invalid byte after good text
         }) {
        EXPECT_FALSE(utf8ToUtf16(bad).has_value()) << bad;
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    }
    EXPECT_FALSE(utf16ToUtf8(std::u16string(1, char16_t(0xD800))).has_value());
    EXPECT_FALSE(utf16ToUtf8(std::u16string(1, char16_t(0xDC00))).has_value());
}

} // namespace
} // namespace talven
