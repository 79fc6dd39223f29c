#include "editor/WindowTitle.h"

namespace talven {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

void appendCodePoint(std::wstring& text, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        text.push_back(static_cast<wchar_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
}

} // namespace

std::wstring windowTitleFromUtf8(const char* utf8)
{
    std::wstring text;
    if (!utf8)
        return text;
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8);
    while (*bytes) {
        unsigned char lead = *bytes;
        if (lead < 0x80) {
            text.push_back(static_cast<wchar_t>(lead));
            ++bytes;
            continue;
        }
        // Length and the allowed range of the second byte, which rules out
        // overlong forms, surrogates and values above U+10FFFF.
        int length = 0;
        char32_t codePoint = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            text.push_back(kReplacement);
            ++bytes;
            continue;
        }
        int taken = 1;
        // The terminating zero is below every allowed range, so this never
        // reads past the end.
        for (; taken < length; ++taken) {
            unsigned char next = bytes[taken];
            if (next < low || next > high)
                break;
            codePoint = (codePoint << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        bytes += taken;
        if (taken < length)
            text.push_back(kReplacement);
        else
            appendCodePoint(text, codePoint);
    }
    return text;
}

} // namespace talven
