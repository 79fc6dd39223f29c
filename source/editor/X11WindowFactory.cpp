#include "editor/EditorWindowFactory.h"
#include "editor/EditorThread.h"
#include "editor/X11Window.h"

#include <cstdint>

namespace talven {
namespace {

// X11 windows (X11Window) on the editor thread, which openEditor runs on.
class X11WindowFactory : public EditorWindowFactory {
public:
    WindowPtr makeWindow(const char* title, Size contentSize, bool resizable,
                         const WindowControllerPtr& controller) override
    {
        auto window = Steinberg::Vst::EditorHost::X11Window::make();
        if (!window->init(title, contentSize, resizable, controller))
            return nullptr;
        return window;
    }

    WindowPtr makeChildWindow(void* parent, Size contentSize, const WindowControllerPtr& controller) override
    {
        const xcb_window_t id = windowId(parent);
        auto window = Steinberg::Vst::EditorHost::X11Window::make();
        if (id == XCB_WINDOW_NONE || !window->initEmbedded(id, contentSize, controller))
            return nullptr;
        return window;
    }

    bool canParent(void* parent) override
    {
        return Steinberg::Vst::EditorHost::X11Window::canParent(windowId(parent));
    }

private:
    // X11 ids are 29 bits wide: a larger value names no window.
    static xcb_window_t windowId(void* parent)
    {
        const auto id = reinterpret_cast<std::uintptr_t>(parent);
        return id > 0x1FFFFFFFu ? static_cast<xcb_window_t>(XCB_WINDOW_NONE) : static_cast<xcb_window_t>(id);
    }
};

} // namespace

EditorWindowFactory* platformEditorWindowFactory()
{
    static X11WindowFactory factory;
    return &factory;
}

// The editor thread is the library's own and runs every close handed to it:
// none is ever left behind.
void releaseAbandonedEditors() noexcept {}

void stopEditorThread() noexcept
{
    EditorThread::stopForGood();
}

} // namespace talven
