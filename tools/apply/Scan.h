// talven-apply --scan: the VST 3 plug-ins installed in folders, one
// tab-separated line per class.
#pragma once

#include <cstdio>
#include <filesystem>
#include <vector>

namespace talven::apply {

// Lists every plug-in found in folders and their sub-folders (a folder may
// also name a plug-in itself) to out, and what could not be read to err,
// going on after each. A package's moduleinfo.json is trusted where it is
// well-formed, so that module is not loaded; otherwise the module is
// loaded through TALVEN_GetModuleClasses. With standard set, folders that
// do not exist are passed over in silence. False when a folder could not be
// read.
bool scanFolders(const std::vector<std::filesystem::path>& folders, bool standard, std::FILE* out, std::FILE* err);

} // namespace talven::apply
