#include "Utf16.h"

namespace talven::apply {
namespace {

void appendCodePoint(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string utf16ToUtf8(const std::uint16_t* text, std::size_t capacity)
{
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
        const std::uint32_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < capacity && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            appendCodePoint(out, kReplacement);
        } else {
            appendCodePoint(out, unit);
        }
    }
    return out;
}

} // namespace talven::apply
