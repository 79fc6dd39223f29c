#pragma once

#include <cstdint>

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

} // namespace talven
