#include "editor/EditorWork.h"

#include "editor/EditorThread.h"
#include "editor/EditorWindowFactory.h"
#include "editor/X11Connection.h"

#include <memory>

namespace talven {

// Linux: on the editor thread, the one thread that serves the views' run loop.
void runEditorWork(const std::function<void()>& work)
{
    // Asked here, before the editor thread is first made: the factories are
    // then made first and destroyed last at process exit, after the editor
    // thread has been stopped.
    const bool makesX11Windows = editorWindowFactory() == platformEditorWindowFactory();
    EditorThread::call([&] {
        // Without an X display no window can be made: nothing is asked of the
        // plug-in then, so that no view is made only to be let go elsewhere.
        // Held for the work, the connection also serves the window it makes.
        std::shared_ptr<X11Connection> connection;
        if (makesX11Windows) {
            connection = X11Connection::acquire();
            if (!connection)
                return;
        }
        work();
    });
}

void runEditorWorkIn(void*, const std::function<void()>& work)
{
    // Any X client may make children of another's window: the editor
    // thread's connection makes them too.
    runEditorWork(work);
}

void runOnUiThread(const std::function<void()>& work)
{
    // An editor thread that ends meanwhile is started again for the work.
    if (EditorThread::isCurrent() || !EditorThread::running() || !EditorThread::call(work))
        work();
}

} // namespace talven
