// File names between the UTF-8 that Talven and the command line speak and
// the operating system's own form (bytes on Linux, UTF-16 on Windows).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace talven::apply {

// The path a command-line argument names: UTF-8 on Windows (nothing when it
// is not), any bytes on Linux, as the system takes them there.
std::optional<std::filesystem::path> pathFromArgument(const std::string& text);

// The path as UTF-8 for Talven's functions, or nothing when its name is not
// well-formed text (a Linux name in another encoding, a Windows name with an
// unpaired surrogate): no UTF-8 string could name that file.
std::optional<std::string> utf8Path(const std::filesystem::path& path);

// The path for printing: UTF-8, with U+FFFD where its name is not
// well-formed text, without control characters.
std::string printablePath(const std::filesystem::path& path);

} // namespace talven::apply
