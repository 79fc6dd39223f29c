#pragma once

#include <functional>

namespace talven {

// Runs an editor request (opening, hiding) where the platform's editor
// windows live, and waits for it: on Linux on the library's editor thread
// (inline when called there, as from the position callback), on Windows on
// the calling thread, which owns the windows it opens. On Linux the work is
// skipped when the editor thread cannot be had (stopped at unload) or the X
// display cannot be reached; an exception it throws comes out here. Any thread, no library lock held: the
// editor thread may call back into the program meanwhile.
void runEditorWork(const std::function<void()>& work);

// runEditorWork for a request about a window of the program's, parent (an
// HWND on Windows; null: none): on Windows on the thread that owns parent,
// where a child window of it must be made and its messages are dispatched,
// handed there and waited for when it is another one; on Linux as
// runEditorWork. Any thread, no library lock held.
void runEditorWorkIn(void* parent, const std::function<void()>& work);

// Runs a controller or state call where VST 3 wants it, the UI thread, and
// waits for it. On Linux, while any editor is up (the editor thread runs), on
// the editor thread: the views' run loop is served there, and a framework may
// take it as its message thread for every instance of its plug-ins, not only
// the one showing an editor (JUCE does). Inline when called there (as from a
// callback the editor thread makes), when no editor thread runs, or once it
// is stopped for good. On Windows always on the calling thread: the program's
// own UI thread is the one to call from (README). Any thread, no library lock
// held: the work may need one, on the editor thread, while the caller waits.
void runOnUiThread(const std::function<void()>& work);

} // namespace talven
