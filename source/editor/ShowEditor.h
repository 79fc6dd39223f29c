#pragma once

#include "editor/IWindow.h"

#include <cstdint>

namespace talven {

// Shows (visible) or hides the editor of the instance under handle, as
// openEditor and hideEditor do; a window made by this call gets
// positionCallback. Returns 0 when the handle names no instance, else 1,
// also when no editor could be opened. Any thread: the request runs where
// editor windows live (editor/EditorWork.h) while the caller waits; takes no
// lock, only a hold on the instance for the call.
int showEditor(std::uint32_t handle, bool visible, std::int32_t x, std::int32_t y,
               Steinberg::Vst::EditorHost::PositionCallback positionCallback, const char* title);

} // namespace talven
