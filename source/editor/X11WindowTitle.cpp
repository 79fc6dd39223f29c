#include "editor/X11WindowTitle.h"

#include "platform/TextConversion.h"

#include <cstddef>

namespace talven {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

// The length of a sequence this lead byte begins, or 0 for a byte that
// begins none.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Whether the first `taken` bytes of text can begin a well-formed sequence of
// length bytes: the smallest continuation fills the rest, and that smallest
// value is the one overlong and range checks decide on.
bool beginsSequence(const char* text, std::size_t taken, std::size_t length)
{
    std::string candidate(text, taken);
    candidate.append(length - taken, '\x80');
    return isValidUtf8(candidate);
}

} // namespace

std::string x11WindowTitle(const char* utf8)
{
    std::string title;
    if (!utf8)
        return title;
    const char* bytes = utf8;
    while (*bytes) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(*bytes));
        if (static_cast<unsigned char>(*bytes) < 0x80) {
            title.push_back(*bytes++);
            continue;
        }
        // The terminating zero never continues a sequence, so the scan stops
        // at it.
        std::size_t taken = 1;
        while (length != 0 && taken < length && bytes[taken] != '\0' && beginsSequence(bytes, taken + 1, length))
            ++taken;
        if (length != 0 && taken == length)
            title.append(bytes, length);
        else
            title.append(kReplacement);
        bytes += taken;
    }
    return title;
}

} // namespace talven
