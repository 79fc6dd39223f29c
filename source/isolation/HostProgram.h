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

// Windows: from the first isolated plug-in on, the library stays loaded until
// the process ends. Its unload runs under the loader lock, where the threads
// that serve a plug-in's process could not be joined, and they must not run
// on in an unmapped library. Elsewhere the unload ends them: nothing to do.
void keepLibraryLoadedForIsolation();

} // namespace talven
