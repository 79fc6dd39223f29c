#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talven {

// The work of TALVEN_StorePreset, on the caller's thread: under a hold on the
// instance, writes its plug-in's preset file to path (replacing a file there
// only with a whole one) and loads it back into the plug-in. True when the
// file was written; false for a handle without a plug-in or a file that
// could not be written.
bool storePresetFor(std::uint32_t handle, const char* path);

// The work of TALVEN_RecallPreset, on the caller's thread: applies the preset
// file at path to the instance's plug-in. True when the component took the
// state (or has none); false for a handle without a plug-in, a path of 1024
// bytes or more, or a file that is missing, damaged or stored for another
// plug-in class, which apply nothing.
bool recallPresetFor(std::uint32_t handle, const char* path);

// The work of TALVEN_GetState: the store's work, the preset written into
// memory instead of a file. state receives the preset's bytes; false as for
// storePresetFor.
bool getStateFor(std::uint32_t handle, std::vector<char>& state);

// The work of TALVEN_SetState: the recall's work, the preset read from a copy
// of the size bytes at data. False as for recallPresetFor, and for no data.
bool setStateFor(std::uint32_t handle, const void* data, std::size_t size);

} // namespace talven
