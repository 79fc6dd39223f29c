#include "editor/EditorWindowFactory.h"
#include "editor/PostedWindowTasks.h"
#include "editor/Window.h"

namespace talven {
namespace {

// Win32 windows (Window), made with the process's module instance: the class
// is registered for it, not for this library.
class Win32WindowFactory : public EditorWindowFactory {
public:
    WindowPtr makeWindow(const char* title, Size contentSize, bool resizable,
                         const WindowControllerPtr& controller) override
    {
        auto window = Steinberg::Vst::EditorHost::Window::make();
        if (!window->init(title, contentSize, resizable, controller, nullptr))
            return nullptr;
        return window;
    }

    WindowPtr makeChildWindow(void* parent, Size contentSize, const WindowControllerPtr& controller) override
    {
        auto window = Steinberg::Vst::EditorHost::Window::make();
        if (!window->initChild(static_cast<HWND>(parent), contentSize, controller, nullptr))
            return nullptr;
        return window;
    }

    bool canParent(void* parent) override
    {
        // Made on the parent's thread (runEditorWorkIn): a window of another
        // thread is not taken.
        const auto hwnd = static_cast<HWND>(parent);
        return hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
    }
};

} // namespace

EditorWindowFactory* platformEditorWindowFactory()
{
    static Win32WindowFactory factory;
    return &factory;
}

void releaseAbandonedEditors() noexcept
{
    PostedWindowTasks::runAbandoned();
}

void stopEditorThread() noexcept {}

} // namespace talven
