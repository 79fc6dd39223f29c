#include "editor/EditorWork.h"

namespace talven {

// Windows: a window belongs to the thread that makes it, so the work runs here.
void runEditorWork(const std::function<void()>& work)
{
    work();
}

// Windows: for now the calling thread, which should own parent.
void runEditorWorkIn(void*, const std::function<void()>& work)
{
    work();
}

// Windows: the program's thread is the UI thread it chose for the instance.
void runOnUiThread(const std::function<void()>& work)
{
    work();
}

} // namespace talven
