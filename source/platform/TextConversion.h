#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace talven {

// Strict UTF-8 to UTF-16: overlong forms, surrogate code points, values above
// U+10FFFF and truncated sequences make the whole conversion fail instead of
// being guessed at. Any thread.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate fails the conversion. Any thread.
std::optional<std::string> utf16ToUtf8(std::u16string_view utf16);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// Lenient forms for text that is only shown: each ill-formed UTF-8 sequence
// (the longest start of a valid one, or a single byte) and each unpaired
// surrogate becomes U+FFFD, so the readable rest survives. Any thread.
std::u16string utf8ToUtf16Lenient(std::string_view utf8);
std::string utf16ToUtf8Lenient(std::u16string_view utf16);

// Copies utf8 into a buffer of capacity bytes, always zero-terminated, cut
// at a character boundary when it does not fit (never in the middle of a
// sequence). Nothing for a null buffer or capacity 0. Any thread.
void copyUtf8Bounded(std::string_view utf8, char* buffer, std::size_t capacity);

#ifdef _WIN32
// The same conversion for the wide-character Win32 calls.
std::optional<std::wstring> utf8ToWide(std::string_view utf8);
#endif

} // namespace talven
