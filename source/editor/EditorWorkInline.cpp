#include "editor/EditorWork.h"

namespace talven {

// Windows: a window belongs to the thread that makes it, so the work runs here.
void runEditorWork(const std::function<void()>& work)
{
    work();
}

} // namespace talven
