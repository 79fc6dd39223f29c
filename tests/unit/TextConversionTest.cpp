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

TEST(TextConversion, LenientFormsReplaceEachBrokenSequenceOnceAndKeepTheRest)
{
    EXPECT_EQ(utf8ToUtf16Lenient("ok\xFFok"), u"ok\uFFFDok");
    EXPECT_EQ(utf8ToUtf16Lenient("\xE2\x82x"), u"\uFFFDx");          // truncated: one replacement
    EXPECT_EQ(utf8ToUtf16Lenient("\xC0\xAF"), u"\uFFFD\uFFFD");      // overlong: each byte
    EXPECT_EQ(utf8ToUtf16Lenient("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");
    EXPECT_EQ(utf16ToUtf8Lenient(u"a" + std::u16string(1, char16_t(0xD800)) + u"b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(utf16ToUtf8Lenient(u"\u00E9\U0001F3B5"), "\xC3\xA9\xF0\x9F\x8E\xB5");
}

TEST(TextConversion, ABoundedCopyIsAlwaysTerminatedAndNeverCutsACharacter)
{
    char buffer[8];
    copyUtf8Bounded("short", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "short");
    copyUtf8Bounded("exactly7", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "exactly");
    // "-12.0 " then a euro sign (3 bytes) that would end at byte 9.
    copyUtf8Bounded("-12.0 \xE2\x82\xAC", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "-12.0 ");
    copyUtf8Bounded("\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5", buffer, 5);
    EXPECT_STREQ(buffer, "\xF0\x9F\x8E\xB5");
    char one[1] = {'x'};
    copyUtf8Bounded("anything", one, 1);
    EXPECT_EQ(one[0], '\0');
    copyUtf8Bounded("ignored", nullptr, 4); // nothing to write to
}

} // namespace
} // namespace talven
