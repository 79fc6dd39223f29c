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
using Steinberg::Vst::EditorHost::WindowTask;

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

// The close itself, for a window and controller already out of the
// instance: the window hides, then the view leaves it; the controller, then
// the window, go afterwards, when their holders let go.
void closeTakenEditor(const WindowPtr& window, const std::shared_ptr<WindowController>& controller)
{
    if (window)
        window->close();
    if (controller)
        controller->detachView();
}

// An editor's close and the plug-in's code, run and released on the window's
// thread in closeEditor's and the destruction's order.
class EditorTeardown : public WindowTask {
public:
    void run() noexcept override
    {
        try {
            closeTakenEditor(window, controller);
        } catch (...) {
        }
        controller.reset();
        window.reset();
        code.provider = nullptr;
        code.module.reset();
        code.handler.reset();
    }

    WindowPtr window;
    std::shared_ptr<WindowController> controller;
    PluginCode code;
};

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
    closeTakenEditor(window, controller);
    // The controller, then the window, go here, after the view left the
    // window.
}

bool handEditorCloseToWindowThread(PluginInstance& instance, PluginCode& code)
{
    if (!instance.window)
        return false;
    auto teardown = std::make_unique<EditorTeardown>();
    teardown->window = std::move(instance.window);
    teardown->controller = std::move(instance.windowController);
    teardown->code = std::move(code);
    if (teardown->code.handler)
        teardown->code.handler->setInstance(nullptr);
    const WindowPtr window = teardown->window;
    std::unique_ptr<WindowTask> back = window->handToOwnerThread(std::move(teardown));
    if (!back)
        return true;
    // Not handed over: everything goes back where it was.
    auto& returned = static_cast<EditorTeardown&>(*back);
    if (returned.code.handler)
        returned.code.handler->setInstance(&instance);
    code = std::move(returned.code);
    instance.window = std::move(returned.window);
    instance.windowController = std::move(returned.controller);
    return false;
}

void setEditorPositionCallback(PluginInstance& instance, Steinberg::Vst::EditorHost::PositionCallback callback)
{
    if (instance.window)
        instance.window->setPositionCallback(callback);
}

} // namespace talven
