// UTF-16 texts of the plug-in's parameter descriptions, for printing.
#pragma once

#include <cstdint>
#include <string>

namespace talven::apply {

// The NUL-terminated text of at most capacity units, as UTF-8; unpaired
// surrogates become U+FFFD.
std::string utf16ToUtf8(const std::uint16_t* text, std::size_t capacity);

} // namespace talven::apply
