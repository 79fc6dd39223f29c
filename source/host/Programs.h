#pragma once

#include "host/HostedPlugin.h"

#include <cstddef>
#include <cstdint>

namespace talven {

// The programs of the plug-in's root unit: the program list the controller's
// IUnitInfo names for the root unit, and the parameter flagged
// kIsProgramChange that selects among them. A plug-in with only one of the
// two is served as far as that one goes: a list alone gives count and names
// (nothing selects or tells the current program), a parameter alone gives a
// program per step and names through its value texts. Like the parameter
// calls, these take no lock of the library's; a plug-in taken away by a
// detach, or without a controller, has no programs. Caller's thread.

// Programs in the list (or steps of the parameter); 0 for none.
std::int32_t getProgramCount(const HostedPlugin& plugin);

// The program's name as UTF-8 into text (capacity bytes, cut at a character
// boundary, always terminated). False for an index outside the programs and
// when the plug-in gives no name.
bool getProgramName(const HostedPlugin& plugin, std::int32_t index, char* text, std::size_t capacity);

// The program the program-change parameter stands at; -1 without one.
std::int32_t getProgram(const HostedPlugin& plugin);

// Sets the program-change parameter to index's value as TALVEN_SetParam
// would: the controller, then the processor's queue for its next block. The
// values of other parameters that the controller changed with the program go
// to the processor's queue too, and to the program's parameter callback.
// False, with nothing changed, for an index outside the programs, a plug-in
// without a program-change parameter, or one whose controller refused it.
bool setProgram(HostedPlugin& plugin, std::int32_t index);

} // namespace talven
