#pragma once

#include <string>

namespace talven {

// A window title from zero-terminated UTF-8 as X11's _NET_WM_NAME wants it:
// well-formed UTF-8. Null gives an empty title. Bytes that do not form UTF-8
// are not refused: each maximal ill-formed part becomes one U+FFFD, as the
// Windows title does, so the user still sees the readable rest. Any thread.
std::string x11WindowTitle(const char* utf8);

} // namespace talven
