// The plug-in's parameters as talven-apply lists them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

namespace talven::apply {

// Prints index, id, title, units, default and current value, and the
// plug-in's text for the current value, of every parameter of the attached
// plug-in to out.
void printParameterTable(std::uint32_t handle, std::FILE* out);

// The index of the parameter with this id, or nothing.
std::optional<std::int32_t> findParameter(std::uint32_t handle, std::uint32_t id);

} // namespace talven::apply
