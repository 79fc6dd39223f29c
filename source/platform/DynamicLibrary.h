#pragma once

#include <string>

namespace talven {

// An opaque handle of a loaded shared library (HMODULE on Windows, the
// dlopen handle elsewhere); null when none.
using LibraryHandle = void*;

// Loads the library at a UTF-8 path. On failure returns null and describes
// the reason in error (a path that is not valid UTF-8 fails without a system
// call). Any thread.
LibraryHandle loadLibrary(const std::string& utf8Path, std::string& error);

// Looks an exported symbol up; null when the library does not export it.
void* librarySymbol(LibraryHandle library, const char* name);

// Releases one load of the library. Null is ignored.
void freeLibrary(LibraryHandle library);

} // namespace talven
