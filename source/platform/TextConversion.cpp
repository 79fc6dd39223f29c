#include "platform/TextConversion.h"

#include <cstdint>

namespace talven {
namespace {

// Decodes one code point starting at bytes[pos]; advances pos. Returns false
// for anything that is not well-formed UTF-8.
bool decodeOne(std::string_view bytes, std::size_t& pos, char32_t& out)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    std::uint8_t lead = byteAt(pos);
    if (lead < 0x80) {
        out = lead;
        pos += 1;
        return true;
    }
    std::size_t length;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        out = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        out = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        out = lead & 0x07;
    } else {
        return false;
    }
    if (bytes.size() - pos < length)
        return false;
    for (std::size_t i = 1; i < length; ++i) {
        std::uint8_t next = byteAt(pos + i);
        if ((next & 0xC0) != 0x80)
            return false;
        out = (out << 6) | (next & 0x3F);
    }
    if (out < minimum || out > 0x10FFFF || (out >= 0xD800 && out <= 0xDFFF))
        return false;
    pos += length;
    return true;
}

void appendUtf16(std::u16string& out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// Bytes of the ill-formed sequence starting at pos that one replacement
// character stands for: the lead byte and the continuation bytes that could
// still have begun a valid sequence.
std::size_t illFormedLength(std::string_view bytes, std::size_t pos)
{
    const auto lead = static_cast<std::uint8_t>(bytes[pos]);
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 1;
    }
    std::size_t taken = 1;
    for (; taken < length && pos + taken < bytes.size(); ++taken) {
        const auto next = static_cast<std::uint8_t>(bytes[pos + taken]);
        if (next < low || next > high)
            break;
        low = 0x80;
        high = 0xBF;
    }
    return taken;
}

} // namespace

std::u16string utf8ToUtf16Lenient(std::string_view utf8)
{
    std::u16string result;
    result.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp;
        const std::size_t start = pos;
        if (decodeOne(utf8, pos, cp)) {
            appendUtf16(result, cp);
        } else {
            pos = start + illFormedLength(utf8, start);
            result.push_back(static_cast<char16_t>(kReplacement));
        }
    }
    return result;
}

std::string utf16ToUtf8Lenient(std::u16string_view utf16)
{
    std::string result;
    result.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        appendUtf8(result, cp);
    }
    return result;
}

void copyUtf8Bounded(std::string_view utf8, char* buffer, std::size_t capacity)
{
    if (!buffer || capacity == 0)
        return;
    std::size_t length = utf8.size();
    if (length >= capacity) {
        length = capacity - 1;
        // Back to the start of the sequence the cut falls into.
        while (length > 0 && (static_cast<std::uint8_t>(utf8[length]) & 0xC0) == 0x80)
            --length;
    }
    for (std::size_t i = 0; i < length; ++i)
        buffer[i] = utf8[i];
    buffer[length] = '\0';
}

bool isValidUtf8(std::string_view bytes)
{
    std::size_t pos = 0;
    char32_t ignored;
    while (pos < bytes.size()) {
        if (!decodeOne(bytes, pos, ignored))
            return false;
    }
    return true;
}

std::optional<std::u16string> utf8ToUtf16(std::string_view utf8)
{
    std::u16string result;
    result.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp;
        if (!decodeOne(utf8, pos, cp))
            return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(cp));
        }
    }
    return result;
}

std::optional<std::string> utf16ToUtf8(std::u16string_view utf16)
{
    std::string result;
    result.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= utf16.size() || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF)
                return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return std::nullopt;
        }
        if (cp < 0x80) {
            result.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            result.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            result.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            result.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return result;
}

#ifdef _WIN32
std::optional<std::wstring> utf8ToWide(std::string_view utf8)
{
    auto converted = utf8ToUtf16(utf8);
    if (!converted)
        return std::nullopt;
    return std::wstring(converted->begin(), converted->end());
}
#endif

} // namespace talven
