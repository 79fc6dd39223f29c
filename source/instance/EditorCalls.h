#pragma once

#include "editor/IWindow.h"
#include "editor/ViewResizeReport.h"
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

// The work of TALVEN_EmbedEditor: the instance's view in a child window of
// parent (null: taken out). 1 when embedded, removed, or when the plug-in has
// no view to show; 0 for an unknown handle, a parent that is not a window,
// or a view the library's own window shows. Any thread, no lock held.
int embedEditor(std::uint32_t handle, void* parent);

// The work of TALVEN_GetEditorSize and TALVEN_SetEditorSize: the shown
// view's size, or a new one asked of it (size then what it took). 1, or 0
// without a shown (resizable, for the second) view. Any thread, no lock held.
int editorSize(std::uint32_t handle, std::int32_t& width, std::int32_t& height);
int setEditorSize(std::uint32_t handle, std::int32_t& width, std::int32_t& height);

// The work of TALVEN_SetEditorCallback. 0 for an unknown handle.
int setEditorCallback(std::uint32_t handle, ViewResizeCallback callback, void* user);

} // namespace talven
