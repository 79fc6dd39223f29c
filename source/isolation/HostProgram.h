#pragma once

#include <string>
#include <vector>

namespace talven {

// Where talven-host is: beside the module this code is in (talven.dll,
// libtalven.so, or a program that links the library statically). UTF-8;
// empty when the module's own path cannot be read.
std::string hostProgramPath();

// The folders of the library's module and of the BASS library it uses, for
// the host process's loader (Linux); empty where the system has no such
// need.
std::vector<std::string> hostLibraryFolders();

} // namespace talven
