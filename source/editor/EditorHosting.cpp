#include "editor/EditorHosting.h"

#include "editor/EditorWindowFactory.h"
#include "editor/WindowController.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

using namespace Steinberg;
using Steinberg::Vst::EditorHost::WindowController;
using Steinberg::Vst::EditorHost::WindowTask;

namespace talven {
namespace {

// Marks an editor slot as busy with a request on this thread for the
// length of a scope. The window calls the program's position callback while
// it hides; a callback that asks for the editor again would otherwise hide
// and reopen without end.
class EditorRequest {
public:
    explicit EditorRequest(const EditorSlot& slot) : slot_(&slot), outer_(innermost)
    {
        for (const EditorRequest* request = outer_; request; request = request->outer_)
            nested_ = nested_ || request->slot_ == slot_;
        innermost = this;
    }
    ~EditorRequest() { innermost = outer_; }
    EditorRequest(const EditorRequest&) = delete;
    EditorRequest& operator=(const EditorRequest&) = delete;

    bool nested() const { return nested_; }

private:
    // The requests under way on this thread, innermost first, linked through
    // the stack: a thread-local with a destructor would keep the library
    // mapped at dlclose.
    static thread_local const EditorRequest* innermost;

    const EditorSlot* slot_;
    const EditorRequest* outer_;
    bool nested_ = false;
};

thread_local const EditorRequest* EditorRequest::innermost = nullptr;

void writeWindowLine(const void* window)
{
    std::printf("windowPtr:%p\n", window);
    std::fflush(stdout);
}

// The instance's current editor, copied under its lock.
struct ShownEditor {
    WindowPtr window;
    std::shared_ptr<WindowController> controller;
};

ShownEditor currentEditor(EditorSlot& slot)
{
    std::lock_guard<std::mutex> guard(slot.lock);
    return {slot.window, slot.controller};
}

ShownEditor takeEmbeddedEditor(EditorSlot& slot)
{
    std::lock_guard<std::mutex> guard(slot.lock);
    return {std::move(slot.embeddedWindow), std::move(slot.embeddedController)};
}

// Takes both editors out of the instance and marks it closed for good.
struct TakenEditors {
    ShownEditor own;
    ShownEditor embedded;
};

TakenEditors takeEditorForGood(EditorSlot& slot)
{
    std::lock_guard<std::mutex> guard(slot.lock);
    slot.closed = true;
    return {{std::move(slot.window), std::move(slot.controller)},
            {std::move(slot.embeddedWindow), std::move(slot.embeddedController)}};
}

// The view shown now, embedded or in the library's own window; its
// controller, or null.
std::shared_ptr<WindowController> shownController(EditorSlot& slot)
{
    std::shared_ptr<WindowController> embedded;
    std::shared_ptr<WindowController> own;
    {
        std::lock_guard<std::mutex> guard(slot.lock);
        embedded = slot.embeddedController;
        own = slot.controller;
    }
    if (embedded && embedded->viewAttached())
        return embedded;
    if (own && own->viewAttached())
        return own;
    return nullptr;
}

bool embeddedViewShows(EditorSlot& slot)
{
    std::shared_ptr<WindowController> embedded;
    {
        std::lock_guard<std::mutex> guard(slot.lock);
        embedded = slot.embeddedController;
    }
    return embedded && embedded->viewAttached();
}

// The view leaves the window before the window is hidden; both stay with the
// instance.
void hideShownEditor(EditorSlot& slot)
{
    const ShownEditor shown = currentEditor(slot);
    if (!shown.window)
        return;
    if (shown.controller)
        shown.controller->detachView();
    shown.window->close();
}

// The close itself, for a window and controller already out of the
// instance: the view leaves the window while the window's run loop still
// serves it (a view unregisters from the loop it finds through its frame),
// then the window hides; the controller, then the window, go afterwards,
// when their holders let go.
void closeTakenEditor(const WindowPtr& window, const std::shared_ptr<WindowController>& controller)
{
    if (controller)
        controller->detachView();
    if (window)
        window->close();
}

// An editor's close and the plug-in's code, run and released on the window's
// thread in the order of closeEditorForGood and the destruction.
class EditorTeardown : public WindowTask {
public:
    void run() noexcept override
    {
        try {
            closeTakenEditor(window, controller);
        } catch (...) {
        }
        release();
    }
    // The window went with its thread: only the view is still owed its
    // removal, before the plug-in goes.
    void runOrphaned() noexcept override
    {
        try {
            if (controller)
                controller->detachView();
        } catch (...) {
        }
        release();
    }

    WindowPtr window;
    std::shared_ptr<WindowController> controller;
    PluginCode code;

private:
    void release() noexcept
    {
        controller.reset();
        window.reset();
        code.provider = nullptr;
        code.module.reset();
        code.handler = nullptr;
    }
};

} // namespace

EditorOpening openEditor(EditorSlot& slot, const ControllerSource& source, std::int32_t x, std::int32_t y,
                         const char* title)
{
    EditorWindowFactory* const factory = editorWindowFactory();
    if (!factory)
        return EditorOpening::nothing;
    EditorRequest request(slot);
    if (request.nested())
        return EditorOpening::nothing;
    // The view shows in the program's own window: that one stays.
    if (embeddedViewShows(slot))
        return EditorOpening::nothing;
    const Vst::ControllerReference controller = source();
    if (!controller)
        return EditorOpening::nothing;
    hideShownEditor(slot);
    // Hiding ran the program's position callback, which may have detached
    // the plug-in meanwhile.
    if (!source())
        return EditorOpening::nothing;

    IPtr<IPlugView> view;
    {
        const auto turn = controller.turn();
        view = owned(controller->createView(Vst::ViewType::kEditor));
    }
    if (!view)
        return EditorOpening::nothing;
    ViewRect rect(0, 0, 0, 0);
    if (view->getSize(&rect) != kResultOk)
        return EditorOpening::nothing;
    const Size contentSize{rect.right - rect.left, rect.bottom - rect.top};

    auto windowController = std::make_shared<WindowController>(view);
    const bool resizable = view->canResize() == kResultTrue;
    const WindowPtr window = factory->makeWindow(title, contentSize, resizable, windowController);
    // The previous editor goes only now, outside the lock, after its view
    // left it: a view is removed before its parent window is destroyed.
    ShownEditor previous;
    bool closedMeanwhile = false;
    {
        std::lock_guard<std::mutex> guard(slot.lock);
        closedMeanwhile = slot.closed;
        if (!closedMeanwhile) {
            previous = {std::move(slot.window), std::move(slot.controller)};
            slot.window = window;
            slot.controller = windowController;
        }
    }
    if (!window)
        return EditorOpening::nothing;
    if (closedMeanwhile) {
        // A detach on another thread took the editor away for good while this
        // one was made: it is never shown, and goes with this call.
        window->close();
        return EditorOpening::nothing;
    }
    window->show(x, y);
    if (!windowController->viewAttached()) {
        // Shown empty, the window would only stand in the way: it goes, and
        // a later hide finds nothing.
        {
            std::lock_guard<std::mutex> guard(slot.lock);
            if (slot.window == window) {
                slot.window = nullptr;
                slot.controller = nullptr;
            }
        }
        closeTakenEditor(window, windowController);
        return EditorOpening::viewRefused;
    }
    if (slot.idleTick)
        window->setIdleTick(slot.idleTick);
    writeWindowLine(window.get());
    return EditorOpening::shown;
}

void hideEditor(EditorSlot& slot)
{
    EditorRequest request(slot);
    if (!request.nested())
        hideShownEditor(slot);
}

namespace {

// One editor's close, on its window's thread: handed there with code (when
// given) unless that is this thread. True when handed over with code.
bool closeOrHandOver(ShownEditor& editor, PluginCode* code)
{
    if (editor.window) {
        // A window of another thread closes after the caller returned: the
        // program, which may free its callback then, hears nothing of it.
        if (!editor.window->ownedByCallingThread())
            editor.window->silence();
        // The controller (and the view it may still hold) moves into the
        // teardown, so that its last release happens on the window's thread;
        // this thread keeps only the window, which may go on any thread.
        auto teardown = std::make_unique<EditorTeardown>();
        teardown->window = editor.window;
        teardown->controller = std::move(editor.controller);
        if (code)
            teardown->code = std::move(*code);
        std::unique_ptr<WindowTask> back = editor.window->handToOwnerThread(std::move(teardown));
        if (!back)
            return code != nullptr;
        // This thread's window, or no thread to take it: closed here.
        auto& returned = static_cast<EditorTeardown&>(*back);
        if (code)
            *code = std::move(returned.code);
        editor.controller = std::move(returned.controller);
    }
    closeTakenEditor(editor.window, editor.controller);
    // The controller, then the window, go here, after the view left the
    // window.
    return false;
}

} // namespace

bool closeEditorForGood(EditorSlot& slot, PluginCode& code)
{
    TakenEditors taken = takeEditorForGood(slot);
    // No lock is held here: a report under way on the window's thread is
    // waited for, and none follows.
    if (slot.resizeReport)
        slot.resizeReport->silence();
    ShownEditor& own = taken.own;
    ShownEditor& embedded = taken.embedded;
    if (!embedded.window && !embedded.controller)
        return (own.window || own.controller) && closeOrHandOver(own, &code);
    // At most one of the two holds a live view (each refuses to show while
    // the other does): the embedded one when it exists, and it takes the
    // plug-in's code along, to be released after its view left. The own
    // window, hidden and without a view, closes on its own thread.
    if (own.window || own.controller)
        closeOrHandOver(own, nullptr);
    return closeOrHandOver(embedded, &code);
}

EditorEmbedding embedEditor(EditorSlot& slot, const ControllerSource& source, void* parent,
                            std::function<void(Size)> report)
{
    EditorWindowFactory* const factory = editorWindowFactory();
    if (!factory)
        return EditorEmbedding::refused;
    EditorRequest request(slot);
    if (request.nested())
        return EditorEmbedding::refused;
    if (!parent) {
        const ShownEditor taken = takeEmbeddedEditor(slot);
        closeTakenEditor(taken.window, taken.controller);
        return EditorEmbedding::removed;
    }
    {
        // The library's own window shows the view: the program hides it
        // first.
        std::shared_ptr<WindowController> own;
        {
            std::lock_guard<std::mutex> guard(slot.lock);
            own = slot.controller;
        }
        if (own && own->viewAttached())
            return EditorEmbedding::refused;
    }
    // Asked before the plug-in is: a refusal asks nothing of it.
    if (!factory->canParent(parent))
        return EditorEmbedding::refused;
    const Vst::ControllerReference controller = source();
    if (!controller)
        return EditorEmbedding::nothing;
    {
        // A view embedded before leaves first, wherever it was.
        const ShownEditor previous = takeEmbeddedEditor(slot);
        closeTakenEditor(previous.window, previous.controller);
    }
    IPtr<IPlugView> view;
    {
        const auto turn = controller.turn();
        view = owned(controller->createView(Vst::ViewType::kEditor));
    }
    if (!view)
        return EditorEmbedding::nothing;
    ViewRect rect(0, 0, 0, 0);
    if (view->getSize(&rect) != kResultOk)
        return EditorEmbedding::nothing;
    auto windowController = std::make_shared<WindowController>(view);
    windowController->setResizeReport(std::move(report));
    const WindowPtr window =
        factory->makeChildWindow(parent, {rect.right - rect.left, rect.bottom - rect.top}, windowController);
    if (!window)
        return EditorEmbedding::refused;
    bool closedMeanwhile = false;
    ShownEditor previous;
    {
        std::lock_guard<std::mutex> guard(slot.lock);
        closedMeanwhile = slot.closed;
        if (!closedMeanwhile) {
            // Another embedding that got in meanwhile (from a callback) goes.
            previous = {std::move(slot.embeddedWindow), std::move(slot.embeddedController)};
            slot.embeddedWindow = window;
            slot.embeddedController = windowController;
            slot.embeddedParent = parent;
        }
    }
    closeTakenEditor(previous.window, previous.controller);
    if (closedMeanwhile) {
        window->close();
        return EditorEmbedding::nothing;
    }
    window->show();
    if (!windowController->viewAttached()) {
        {
            std::lock_guard<std::mutex> guard(slot.lock);
            if (slot.embeddedWindow == window) {
                slot.embeddedWindow = nullptr;
                slot.embeddedController = nullptr;
            }
        }
        closeTakenEditor(window, windowController);
        return EditorEmbedding::refused;
    }
    if (slot.idleTick)
        window->setIdleTick(slot.idleTick);
    return EditorEmbedding::embedded;
}

void* embeddedParentOf(EditorSlot& slot)
{
    std::lock_guard<std::mutex> guard(slot.lock);
    return slot.embeddedWindow ? slot.embeddedParent : nullptr;
}

bool shownEditorSize(EditorSlot& slot, Size& size)
{
    const std::shared_ptr<WindowController> controller = shownController(slot);
    return controller && controller->viewSize(size);
}

bool resizeShownEditor(EditorSlot& slot, Size& size)
{
    const std::shared_ptr<WindowController> controller = shownController(slot);
    return controller && controller->setViewSize(size);
}

void silenceEditor(EditorSlot& slot)
{
    if (slot.resizeReport)
        slot.resizeReport->silence();
    if (const WindowPtr window = currentEditor(slot).window)
        window->silence();
}

void setEditorPositionCallback(EditorSlot& slot, Steinberg::Vst::EditorHost::PositionCallback callback)
{
    if (const WindowPtr window = currentEditor(slot).window)
        window->setPositionCallback(callback);
}

} // namespace talven
