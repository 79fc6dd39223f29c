#pragma once

#include <cstddef>
#include <string>

namespace VST3 {
namespace Hosting {

// The text of a fixed-size array a plug-in filled: up to the first zero, or
// the whole array when the plug-in left the terminating zero out.
template <typename Char, size_t Size>
std::basic_string<Char> boundedText(const Char (&text)[Size])
{
    size_t length = 0;
    while (length < Size && text[length] != 0)
        ++length;
    return std::basic_string<Char>(text, length);
}

} // namespace Hosting
} // namespace VST3
