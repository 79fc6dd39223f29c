#pragma once

#include "editor/EditorSlot.h"
#include "editor/IWindow.h"
#include "sdk/ControllerReference.h"
#include "sdk/Module.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cstdint>
#include <functional>

namespace talven {

using Steinberg::Vst::EditorHost::Size;

// Opening, hiding and closing an instance's editor: the plug-in's view in a
// window of the library's. All of it runs on the thread that shows the
// editor, which owns the window and must dispatch its messages; none of it
// takes a lock but the slot's own, and never across a call out.

// The plug-in's edit controller now, with its provider kept alive; empty once
// the plug-in is gone (detached). Asked again after every call into the
// program, which may have detached it.
using ControllerSource = std::function<Steinberg::Vst::ControllerReference()>;

// What openEditor did.
enum class EditorOpening {
    shown,
    nothing,     // nothing to show, or the request was ignored
    viewRefused, // the view did not go into the window (it refused the platform type or failed to attach)
};

// Shows the plug-in's editor in a new window with its outer top-left corner
// at (x, y) (both 0: centred) and the given title (UTF-8; null: untitled),
// hiding an editor shown before. Opens nothing when the instance has no
// plug-in (any more), the plug-in offers no view or its size cannot be read,
// or the platform has no editor window. A view that does not go into the
// window leaves no window behind: it is never shown, and goes again at once.
// A request made from inside another editor request for the same instance on
// this thread (from the position callback while a window hides) is ignored.
EditorOpening openEditor(EditorSlot& slot, const ControllerSource& source, std::int32_t x, std::int32_t y,
                         const char* title);

// Takes the view out of the window and hides the window, which stays with
// the instance; nothing when no window was ever made. Ignored from inside
// another editor request for the instance, as openEditor.
void hideEditor(EditorSlot& slot);

// Everything the plug-in's code lives in, in the order it is released.
struct PluginCode {
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider;
    VST3::Hosting::Module::Ptr module;
    // Last: the plug-in's controller may call it up to its termination.
    Steinberg::IPtr<Steinberg::Vst::IComponentHandler> handler;
};

// The detach's and the destruction's editor step: takes the editor from the
// instance for good (an editor that another thread opens meanwhile closes
// itself instead of staying) and closes it: the window hides, then the view
// leaves it, so that the plug-in's code is no longer reached once code is
// released. When the window belongs to another thread, the close is posted
// there together with code, which that thread releases after the close, in
// order; true then (code is empty), and nothing waits for that thread but a
// position report under way: that window is silenced first (its close comes
// after the caller returned and makes no report; IWindow::silence).
// Otherwise the close happens here and code is left to the caller. Closing
// calls the program's position callback, which may re-enter any export:
// never call this with a library lock held.
bool closeEditorForGood(EditorSlot& slot, PluginCode& code);

// No position report of the instance's editor from now on (IWindow::silence):
// for a teardown that will close it only after the caller returned. Any
// thread.
void silenceEditor(EditorSlot& slot);

// What embedEditor did.
enum class EditorEmbedding {
    embedded,
    removed, // parent was null: the embedded view, if any, left
    nothing, // the plug-in offers no view (or is gone): nothing shown
    refused, // parent is not a window, the view refused it, the library's own window shows the editor, or no platform windows
};

// Puts the plug-in's view into a new child window of the program's window
// parent (null: takes the embedded view out and its window away), taking
// out a view embedded before. Refused while the library's own window shows
// the editor. report is told of every size the view gives itself. Runs
// where openEditor does; the same rules of nesting.
EditorEmbedding embedEditor(EditorSlot& slot, const ControllerSource& source, void* parent,
                            std::function<void(Size)> report);

// The program's window the view is embedded in now, or null. Any thread.
void* embeddedParentOf(EditorSlot& slot);

// The size of the view shown now (embedded, or in the library's window);
// false when none shows. Where openEditor runs.
bool shownEditorSize(EditorSlot& slot, Size& size);
// WindowController::setViewSize on the view shown now; false when none shows
// or it does not resize. Where openEditor runs.
bool resizeShownEditor(EditorSlot& slot, Size& size);

// Gives the window made last its position callback; a window keeps only the
// first it is given. Nothing when there is no window.
void setEditorPositionCallback(EditorSlot& slot, Steinberg::Vst::EditorHost::PositionCallback callback);

} // namespace talven
