#include "EditorState.h"

#include "EditorView.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace talven::testplugin {
namespace {

struct State {
    std::mutex lock;
    TalvenEditorOptions options = defaultEditorOptions();
    std::string log;
    std::vector<EditorView*> views;
    bool editWaiting = false;
    unsigned editId = 0;
    double editValue = 0;
};

State& state()
{
    static State shared;
    return shared;
}

std::atomic<TalvenEditorEventProc> observer{nullptr};

} // namespace

TalvenEditorOptions defaultEditorOptions()
{
    TalvenEditorOptions options{};
    options.offerView = 1;
    options.width = 400;
    options.height = 300;
    options.platformSupported = 1;
    return options;
}

TalvenEditorOptions editorOptions()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().options;
}

void setEditorOptions(const TalvenEditorOptions& options)
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().options = options;
}

void logEditorCall(const std::string& call)
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().log += call;
    state().log += '\n';
}

std::string editorLogText()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().log;
}

void clearEditorLog()
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().log.clear();
}

void setEditorObserver(TalvenEditorEventProc proc)
{
    observer.store(proc);
}

void notifyEditorEvent(const char* event)
{
    if (const TalvenEditorEventProc proc = observer.load())
        proc(event);
}

void addLiveView(EditorView* view)
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().views.push_back(view);
}

void removeLiveView(EditorView* view)
{
    std::lock_guard<std::mutex> guard(state().lock);
    auto& views = state().views;
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
}

int liveViewCount()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return static_cast<int>(state().views.size());
}

EditorView* newestLiveView()
{
    std::lock_guard<std::mutex> guard(state().lock);
    // Newest first; one whose last reference is going is passed over.
    for (auto view = state().views.rbegin(); view != state().views.rend(); ++view) {
        if ((*view)->tryAddRef())
            return *view;
    }
    return nullptr;
}

void requestViewEdit(unsigned id, double value)
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().editWaiting = true;
    state().editId = id;
    state().editValue = value;
}

bool takeViewEdit(unsigned& id, double& value)
{
    std::lock_guard<std::mutex> guard(state().lock);
    if (!state().editWaiting)
        return false;
    state().editWaiting = false;
    id = state().editId;
    value = state().editValue;
    return true;
}

void serviceViewEdits()
{
    if (EditorView* view = newestLiveView()) {
        view->makeWaitingEdit();
        view->release();
    }
}

void actOnFirstTick()
{
    const char* action = std::getenv("TALVEN_EDITOR_EFFECT_FIRST_TICK");
    if (!action)
        return;
    if (std::strcmp(action, "edit") == 0) {
        requestViewEdit(0, 0.25);
        serviceViewEdits();
    } else if (std::strcmp(action, "resize") == 0) {
        if (EditorView* view = newestLiveView()) {
            Steinberg::ViewRect size;
            if (view->getSize(&size) == Steinberg::kResultOk)
                view->requestResize(size.getWidth() + 50, size.getHeight() + 20);
            view->release();
        }
    }
}

} // namespace talven::testplugin
