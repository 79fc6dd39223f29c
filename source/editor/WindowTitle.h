#pragma once

#include <string>

namespace talven {

// A window title from zero-terminated UTF-8 as the wide text Win32 shows.
// Null gives an empty title. Bytes that do not form UTF-8 are not refused:
// each maximal ill-formed part becomes one U+FFFD, the way text editors show
// damaged text, so the user still sees the readable rest. Any thread.
std::wstring windowTitleFromUtf8(const char* utf8);

} // namespace talven
