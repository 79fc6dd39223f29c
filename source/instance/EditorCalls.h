#pragma once

#include "editor/IWindow.h"
#include "instance/PluginInstance.h"

#include <cstdint>

namespace talven {

// Shows the instance's plug-in editor at (x, y) (both 0: centred) with title
// (UTF-8; null: untitled), hiding one shown before, where the platform's
// editor windows live (Windows: the calling thread, which then owns the
// window; Linux: the library's editor thread, waited for). Any thread, no
// lock held.
void showEditorOf(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title);

// The work of TALVEN_ShowEditor: shows (visible) or hides the editor of the
// instance under handle; a window made by this call gets positionCallback.
// 0 when the handle names no instance, else 1, also when no editor could be
// opened. Any thread: the work runs where showEditorOf says; takes no lock,
// only a hold on the instance for the call.
int showEditor(std::uint32_t handle, bool visible, std::int32_t x, std::int32_t y,
               Steinberg::Vst::EditorHost::PositionCallback positionCallback, const char* title);

} // namespace talven
