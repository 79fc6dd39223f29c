#pragma once

#include <string>
#include <string_view>

namespace talven {

// The file name of a preset path as the plug-in is told it: the part after
// the last '/', or empty when the path holds none. A backslash is no
// separator here, so a path written with backslashes only has no name.
std::string_view presetFileName(std::string_view path);

// A file name's bytes as UTF-16. Well-formed UTF-8 is decoded as such. Other
// bytes are how the C library read the path: on Windows text in the system's
// 8-bit code page; elsewhere each ill-formed sequence becomes U+FFFD, so the
// readable rest of the name survives. Any thread.
std::u16string fileNameToUtf16(std::string_view bytes);

} // namespace talven
