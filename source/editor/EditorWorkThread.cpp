#include "editor/EditorWork.h"

#include "editor/EditorThread.h"

namespace talven {

// Linux: on the editor thread, the one thread that serves the views' run loop.
void runEditorWork(const std::function<void()>& work)
{
    EditorThread::call(work);
}

} // namespace talven
