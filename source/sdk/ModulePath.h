#pragma once

#include <string>

namespace VST3 {
namespace Hosting {

// Why a module path cannot be used at all, or null when it can: an empty
// path, a zero byte inside it (the system calls would load a shorter path),
// or text that is not valid UTF-8.
const char* modulePathProblem(const std::string& path);

// The library file inside a package folder: for a package at P whose last
// element is N, P/Contents/<arch>/N on Windows ("x86_64-win") and
// P/Contents/<arch>/<N without ".vst3">.so on Linux ("x86_64-linux").
// Separators at the end of P are ignored, so "Delay.vst3/" names the same
// package as "Delay.vst3".
std::string packageLibraryPath(const std::string& packagePath);

} // namespace Hosting
} // namespace VST3
