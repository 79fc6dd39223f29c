// Text from a plug-in, a file or a folder name made safe to print as one
// field of one line.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace talven::apply {

// Well-formed UTF-8 (each ill-formed sequence becomes U+FFFD) without control
// characters (each becomes a space), so that a field never breaks its line
// or a tab-separated record.
std::string printable(std::string_view text);

// A fixed-size, zero-terminated field of a Talven struct, read no further
// than its size even when unterminated.
template <std::size_t N>
std::string printableField(const char (&field)[N])
{
    const void* end = std::memchr(field, 0, N);
    const std::size_t length = end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : N;
    return printable(std::string_view(field, length));
}

} // namespace talven::apply
