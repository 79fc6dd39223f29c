#include "editor/EditorWork.h"

#include "editor/WindowThreadCall.h"

namespace talven {

// Windows: a window belongs to the thread that makes it, so the work runs here.
void runEditorWork(const std::function<void()>& work)
{
    work();
}

// Windows: a child window belongs to the thread that makes it, which must be
// the parent's, and the view is reached only there.
void runEditorWorkIn(void* parent, const std::function<void()>& work)
{
    runOnWindowThread(static_cast<HWND>(parent), work);
}

// Windows: the program's thread is the UI thread it chose for the instance.
void runOnUiThread(const std::function<void()>& work)
{
    work();
}

} // namespace talven
