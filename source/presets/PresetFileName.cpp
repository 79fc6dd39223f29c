#include "presets/PresetFileName.h"

#include "platform/TextConversion.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <climits>

namespace talven {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

#ifdef _WIN32
std::u16string fromSystemCodePage(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &wide[0], units);
    return std::u16string(wide.begin(), wide.end());
}
#else
// How many continuation bytes a lead byte announces, and the range its first
// continuation byte must lie in (which rules out overlong forms, surrogates
// and values above U+10FFFF); 0 continuation bytes: not a lead byte.
struct LeadByte {
    int continuations;
    unsigned char low;
    unsigned char high;
};

LeadByte classify(unsigned char byte)
{
    if (byte >= 0xC2 && byte <= 0xDF)
        return {1, 0x80, 0xBF};
    if (byte == 0xE0)
        return {2, 0xA0, 0xBF};
    if (byte == 0xED)
        return {2, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF)
        return {2, 0x80, 0xBF};
    if (byte == 0xF0)
        return {3, 0x90, 0xBF};
    if (byte == 0xF4)
        return {3, 0x80, 0x8F};
    if (byte >= 0xF1 && byte <= 0xF3)
        return {3, 0x80, 0xBF};
    return {0, 0, 0};
}

void appendCodePoint(std::u16string& out, char32_t code)
{
    if (code < 0x10000) {
        out.push_back(static_cast<char16_t>(code));
        return;
    }
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

// One U+FFFD for each maximal ill-formed subpart, as Unicode recommends.
std::u16string decodeReplacingErrors(std::string_view bytes)
{
    std::u16string out;
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        const LeadByte kind = classify(lead);
        if (kind.continuations == 0) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        char32_t code = lead & (0x3F >> kind.continuations);
        size_t next = i + 1;
        int taken = 0;
        while (taken < kind.continuations && next < bytes.size()) {
            const auto byte = static_cast<unsigned char>(bytes[next]);
            const unsigned char low = taken == 0 ? kind.low : 0x80;
            const unsigned char high = taken == 0 ? kind.high : 0xBF;
            if (byte < low || byte > high)
                break;
            code = (code << 6) | (byte & 0x3F);
            ++next;
            ++taken;
        }
        if (taken == kind.continuations)
            appendCodePoint(out, code);
        else
            out.push_back(kReplacement);
        i = next;
    }
    return out;
}
#endif

} // namespace

std::string_view presetFileName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return path.substr(slash + 1);
}

std::u16string fileNameToUtf16(std::string_view bytes)
{
    if (std::optional<std::u16string> text = utf8ToUtf16(bytes))
        return *text;
#ifdef _WIN32
    return fromSystemCodePage(bytes);
#else
    return decodeReplacingErrors(bytes);
#endif
}

} // namespace talven
