#pragma once

#include "editor/IWindow.h"
#include "registry/PluginInstance.h"

#include <cstdint>

namespace talven {

// Opening, hiding and closing an instance's editor: the plug-in's view in a
// window of the library's. All of it runs on the thread that shows the
// editor, which owns the window and must dispatch its messages; none of it
// takes the instance lock.

// Shows the plug-in's editor in a new window with its outer top-left corner
// at (x, y) (both 0: centred) and the given title (UTF-8; null: untitled),
// hiding an editor shown before. Opens nothing when the instance has no
// plug-in (any more), the plug-in offers no view or its size cannot be read,
// or the platform has no editor window. A request made from inside another
// editor request for the same instance on this thread (from the position
// callback while a window hides) is ignored.
void openEditor(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title);

// Takes the view out of the window and hides the window, which stays with
// the instance; nothing when no window was ever made. Ignored from inside
// another editor request for the instance, as openEditor.
void hideEditor(PluginInstance& instance);

// The detach's and the destruction's editor step: hides the window, takes the
// view out of it and lets both go, so that the plug-in's code is no longer
// reached once its provider is released. Runs on the thread of the detach
// (instance lock held) or of the release that destroys the instance.
void closeEditor(PluginInstance& instance);

// Everything the plug-in's code lives in, in the order it is released.
struct PluginCode {
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider;
    VST3::Hosting::Module::Ptr module;
    // Last: the plug-in's controller points to it.
    std::unique_ptr<ComponentHandler> handler;
};

// closeEditor on the window's thread: when the window belongs to another
// thread, the editor is taken out of the instance and its close posted to
// that thread together with code, which is released there after the close,
// in order. The handler is cut off from the instance first. Nothing waits for
// that thread, so this may run with the instance lock held. True when handed
// over (code is then empty); false, with nothing changed, when the window is
// this thread's, there is none, or the thread cannot take it.
bool handEditorCloseToWindowThread(PluginInstance& instance, PluginCode& code);

// Gives the window made last its position callback; a window keeps only the
// first it is given. Nothing when there is no window.
void setEditorPositionCallback(PluginInstance& instance, Steinberg::Vst::EditorHost::PositionCallback callback);

} // namespace talven
