// A VST 3 package's moduleinfo.json: the classes of its module, known
// without loading it.
#pragma once

#include "ModuleClasses.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talven::apply {

// Larger files are refused unread: real ones hold a few kilobytes per class.
constexpr std::size_t kLargestModuleInfo = 8u << 20;

// Where a package keeps the file: Contents/Resources since VST 3.7.8,
// Contents before. The first that exists, or nothing.
std::optional<std::filesystem::path> findModuleInfo(const std::filesystem::path& package);

// The classes the text lists, in its order, or nothing with a reason in
// error. The text is JSON5 as the SDK writes it: comments and trailing
// commas are taken, other JSON5 forms are not. "Classes" must be an array
// of objects, each with string "CID" (32 hexadecimal digits), "Name" and
// "Category"; "Vendor" (else the "Factory Info" vendor), "Version" and the
// array "Sub Categories" are optional, and a field of the wrong type
// refuses the whole text.
std::optional<std::vector<ModuleClass>> parseModuleInfo(std::string_view text, std::string& error);

// The file read (at most kLargestModuleInfo bytes) and parsed.
std::optional<std::vector<ModuleClass>> readModuleInfo(const std::filesystem::path& file, std::string& error);

} // namespace talven::apply
