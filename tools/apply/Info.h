// What talven-apply --info prints: the attached plug-in's own description
// and the classes of its module.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace talven::apply {

// Prints the description of the plug-in attached under handle, then every
// class of the module at pluginPath, to out. False with a reason in error
// when the library gives no description.
bool printInfo(std::uint32_t handle, const std::string& pluginPath, std::FILE* out, std::string& error);

} // namespace talven::apply
