#include "editor/EditorHosting.h"

#include "editor/EditorWindowFactory.h"
#include "editor/WindowController.h"
#include "host/ProviderAccess.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Steinberg;
using Steinberg::Vst::EditorHost::WindowController;

namespace talven {
namespace {

// Marks an instance as busy with an editor request on this thread for the
// length of a scope. The window calls the program's position callback while
// it hides; a callback that asks for the editor again would otherwise hide
// and reopen without end.
class EditorRequest {
public:
    explicit EditorRequest(const PluginInstance& instance) : instance_(&instance)
    {
        std::vector<const PluginInstance*>& busy = busyInstances();
        nested_ = std::find(busy.begin(), busy.end(), instance_) != busy.end();
        if (!nested_)
            busy.push_back(instance_);
    }
    ~EditorRequest()
    {
        if (nested_)
            return;
        std::vector<const PluginInstance*>& busy = busyInstances();
        busy.erase(std::find(busy.begin(), busy.end(), instance_));
    }
    EditorRequest(const EditorRequest&) = delete;
    EditorRequest& operator=(const EditorRequest&) = delete;

    bool nested() const { return nested_; }

private:
    static std::vector<const PluginInstance*>& busyInstances()
    {
        thread_local std::vector<const PluginInstance*> busy;
        return busy;
    }

    const PluginInstance* instance_;
    bool nested_ = false;
};

void writeWindowLine(const void* window)
{
    std::printf("windowPtr:%p\n", window);
    std::fflush(stdout);
}

// The view leaves the window before the window is hidden; both stay with the
// instance.
void hideShownEditor(PluginInstance& instance)
{
    const WindowPtr window = instance.window;
    if (!window)
        return;
    if (const std::shared_ptr<WindowController> controller = instance.windowController)
        controller->detachView();
    window->close();
}

} // namespace

void openEditor(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title)
{
    EditorWindowFactory* const factory = editorWindowFactory();
    if (!factory)
        return;
    EditorRequest request(instance);
    if (request.nested())
        return;
    const ControllerReference controller = acquireController(instance);
    if (!controller)
        return;
    hideShownEditor(instance);
    // Hiding ran the program's position callback, which may have detached
    // the plug-in meanwhile.
    if (!acquirePlugProvider(instance))
        return;

    const IPtr<IPlugView> view = owned(controller->createView(Vst::ViewType::kEditor));
    if (!view)
        return;
    ViewRect rect(0, 0, 0, 0);
    if (view->getSize(&rect) != kResultOk)
        return;
    const Size contentSize{rect.right - rect.left, rect.bottom - rect.top};

    auto windowController = std::make_shared<WindowController>(view);
    instance.windowController = windowController;
    const bool resizable = view->canResize() == kResultTrue;
    // Replacing the window lets the previous one go only now, after its view
    // left it: a view is removed before its parent window is destroyed.
    const WindowPtr window = factory->makeWindow(title, contentSize, resizable, windowController);
    instance.window = window;
    if (!window)
        return;
    window->show(x, y);
    writeWindowLine(window.get());
}

void hideEditor(PluginInstance& instance)
{
    EditorRequest request(instance);
    if (!request.nested())
        hideShownEditor(instance);
}

void closeEditor(PluginInstance& instance)
{
    // Taken out of the instance first, so that a detach requested from the
    // position callback while the window hides finds nothing left to close.
    const WindowPtr window = std::move(instance.window);
    const std::shared_ptr<WindowController> controller = std::move(instance.windowController);
    if (window)
        window->close();
    if (controller)
        controller->detachView();
    // The controller, then the window, go here, after the view left the
    // window.
}

void setEditorPositionCallback(PluginInstance& instance, Steinberg::Vst::EditorHost::PositionCallback callback)
{
    if (instance.window)
        instance.window->setPositionCallback(callback);
}

} // namespace talven
