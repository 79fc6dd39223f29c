#pragma once

#include "editor/IWindow.h"
#include "editor/IWindowController.h"

namespace talven {

using Steinberg::Vst::EditorHost::Size;
using Steinberg::Vst::EditorHost::WindowControllerPtr;
using Steinberg::Vst::EditorHost::WindowPtr;

// Makes the top-level windows that frame editor views. The editor logic asks
// for windows only through this, so that it can be tested against windows
// that record what they are asked.
class EditorWindowFactory {
public:
    virtual ~EditorWindowFactory() = default;

    // A new hidden window with a content area of contentSize that reports to
    // controller, or null when none could be made. title: UTF-8 or null.
    // Caller's thread; the window belongs to it.
    virtual WindowPtr makeWindow(const char* title, Size contentSize, bool resizable,
                                 const WindowControllerPtr& controller) = 0;

    // A new hidden child window of the program's window parent (an HWND, or
    // an X11 window id cast to a pointer) with a content area of
    // contentSize, reporting to controller; null when parent is not a window
    // or none could be made, and where the platform has no such windows.
    // The thread that makeWindow runs on.
    virtual WindowPtr makeChildWindow(void* parent, Size contentSize, const WindowControllerPtr& controller)
    {
        static_cast<void>(parent);
        static_cast<void>(contentSize);
        static_cast<void>(controller);
        return nullptr;
    }

    // Whether parent names a window that makeChildWindow could make a child
    // of now, asked before the plug-in is asked for a view.
    virtual bool canParent(void* parent)
    {
        static_cast<void>(parent);
        return false;
    }
};

// The factory editors are opened with: the platform's, or null on a platform
// without an editor window, where showing an editor opens nothing. Any thread.
EditorWindowFactory* editorWindowFactory();

// Test seam: editors are opened with factory from now on (null: as on a
// platform without windows). Returns the factory used so far; pass it back to
// restore. The caller keeps factory alive while it is installed.
EditorWindowFactory* replaceEditorWindowFactory(EditorWindowFactory* factory);

// The platform's own factory, or null (one definition per platform).
EditorWindowFactory* platformEditorWindowFactory();

// Runs, on the calling thread, the editor closes (and plug-in releases) that
// were handed to a window's thread which ended, or whose window went, before
// it could run them. Cheap when there are none. Any thread, no lock held.
void releaseAbandonedEditors() noexcept;

// Library unload: ends a library-owned editor thread for good, after it ran
// the closes handed to it, and waits for it (unless called on it). Nothing
// where windows belong to the program's threads. Any thread.
void stopEditorThread() noexcept;

} // namespace talven
