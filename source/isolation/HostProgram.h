#pragma once

#include <string>

namespace talven {

// Where talven-host is: beside the module this code is in (talven.dll,
// libtalven.so, or a program that links the library statically). UTF-8;
// empty when the module's own path cannot be read.
std::string hostProgramPath();

} // namespace talven
