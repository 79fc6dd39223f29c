// A stereo pass-through effect whose controller offers an editor view that
// records what the host does to it (EditorView.h); tests steer and read it
// through EditorExports.h.
#include "ChildWindow.h"
#include "EditorExports.h"
#include "EditorState.h"
#include "EditorView.h"
#include "ViewRunLoop.h"
#include "EntryPoints.h"
#include "PassThroughEffect.h"

#include "pluginterfaces/base/fplatform.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

using namespace Steinberg;

namespace talven::testplugin {
namespace {

const FUID processorUid(0x7A1E0003, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
const FUID controllerUid(0x7A1E0003, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);

class EditorController : public PassThroughController {
public:
    // The level is read and written on any thread: edits come from the
    // view's thread while the host reads it on its own (in talven-host with
    // no ordering this process could see), which the SDK's parameter
    // objects do not allow.
    Vst::ParamValue PLUGIN_API getParamNormalized(Vst::ParamID id) override
    {
        return id == 0 ? level_.load() : PassThroughController::getParamNormalized(id);
    }

    tresult PLUGIN_API setParamNormalized(Vst::ParamID id, Vst::ParamValue value) override
    {
        if (id != 0)
            return PassThroughController::setParamNormalized(id, value);
        level_ = std::clamp(value, 0.0, 1.0);
        return kResultTrue;
    }

    // One parameter for the edits the view makes (id 0, default 0.5).
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = PassThroughController::initialize(context);
        if (result == kResultOk)
            parameters.addParameter(STR16("Level"), nullptr, 0, 0.5, Vst::ParameterInfo::kCanAutomate, 0);
        return result;
    }

    // The level is the controller's alone (the processor passes audio
    // through), so the controller's own state keeps it across presets.
    tresult PLUGIN_API getState(IBStream* state) override
    {
        notifyEditorEvent("controller getState");
        if (!state)
            return kInvalidArgument;
        double level = getParamNormalized(0);
        int32 written = 0;
        return state->write(&level, sizeof level, &written) == kResultOk && written == sizeof level ? kResultOk
                                                                                                     : kResultFalse;
    }

    tresult PLUGIN_API setState(IBStream* state) override
    {
        notifyEditorEvent("controller setState");
        if (!state)
            return kInvalidArgument;
        double level = 0;
        int32 read = 0;
        if (state->read(&level, sizeof level, &read) != kResultOk || read != sizeof level || !(level >= 0 && level <= 1))
            return kResultFalse;
        return setParamNormalized(0, level);
    }

    IPlugView* PLUGIN_API createView(FIDString name) override
    {
        logEditorCall(std::string("createView ") + (name ? name : "null"));
        const TalvenEditorOptions options = editorOptions();
        if (!options.offerView || !name || std::strcmp(name, Vst::ViewType::kEditor) != 0)
            return nullptr;
        return new EditorView(this, options.width, options.height);
    }

    tresult PLUGIN_API terminate() override
    {
        notifyEditorEvent("terminate");
        return PassThroughController::terminate();
    }

private:
    std::atomic<Vst::ParamValue> level_{0.5};
};

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, "Talven Editor Effect", Vst::ComponentFlags::kDistributable, "Fx",
         [] { return PassThroughProcessor::create(controllerUid); }},
        {controllerUid, kVstComponentControllerClass, "Talven Editor Effect Controller", 0, "",
         []() -> FUnknown* { return static_cast<Vst::IEditController*>(new EditorController); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

// Whether this process has a view of its own; without one, a test's call
// goes to the views of talven-host through the shared record.
bool hasLocalView()
{
    EditorView* view = newestLiveView();
    if (view)
        view->release();
    return view != nullptr;
}

// Runs body on the newest live view, answering fallback without one.
template <typename Body>
int onNewestView(int fallback, Body body)
{
    EditorView* view = newestLiveView();
    if (!view)
        return fallback;
    const int result = body(*view);
    view->release();
    return result;
}

} // namespace
} // namespace talven::testplugin

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)

extern "C" {

SMTG_EXPORT_SYMBOL void TalvenEditorReset(void)
{
    talven::testplugin::resetEditorState();
}

SMTG_EXPORT_SYMBOL void TalvenEditorConfigure(const TalvenEditorOptions* options)
{
    if (options)
        talven::testplugin::setEditorOptions(*options);
}

SMTG_EXPORT_SYMBOL int TalvenEditorReadLog(char* buffer, int capacity)
{
    const std::string text = talven::testplugin::editorLogText();
    if (buffer && capacity > 0) {
        const size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
    }
    return static_cast<int>(text.size());
}

SMTG_EXPORT_SYMBOL void TalvenEditorClearLog(void)
{
    talven::testplugin::clearEditorLog();
}

SMTG_EXPORT_SYMBOL int TalvenEditorRequestResize(int width, int height)
{
    using namespace talven::testplugin;
    if (!hasLocalView())
        return editorRecordShared() ? askNewestView(ViewCall::resize, width, height) : -1;
    return onNewestView(-1, [&](EditorView& view) { return view.requestResize(width, height); });
}

SMTG_EXPORT_SYMBOL int TalvenEditorLiveViews(void)
{
    return talven::testplugin::liveViewCount();
}

SMTG_EXPORT_SYMBOL void* TalvenEditorChildWindow(void)
{
    return talven::testplugin::newestChildWindow();
}

SMTG_EXPORT_SYMBOL int TalvenEditorFrameAnswersItself(void)
{
    using namespace talven::testplugin;
    if (!hasLocalView())
        return editorRecordShared() ? askNewestView(ViewCall::frameAnswersItself) : -1;
    return onNewestView(-1, [](EditorView& view) { return view.frameAnswersItself(); });
}

SMTG_EXPORT_SYMBOL int TalvenEditorRunLoopTicks(void)
{
    return talven::testplugin::runLoopTicks();
}

SMTG_EXPORT_SYMBOL int TalvenEditorRequestEdit(unsigned id, double value)
{
    using namespace talven::testplugin;
    // The view of another process serves the edit from its own thread too.
    void* const child = hasLocalView() || !editorRecordShared() ? nullptr : newestChildWindow();
    if (child) {
        requestViewEdit(id, value);
        wakeChildWindow(child);
        return 1;
    }
    return onNewestView(0, [&](EditorView& view) {
        if (!view.childWindow())
            return 0;
        requestViewEdit(id, value);
        wakeChildWindow(view.childWindow());
        return 1;
    });
}

SMTG_EXPORT_SYMBOL int TalvenEditorReadEvents(TalvenEditorEvent* events, int capacity)
{
    return talven::testplugin::readEditorEvents(events, capacity);
}

SMTG_EXPORT_SYMBOL void TalvenEditorClearEvents(void)
{
    talven::testplugin::clearEditorEvents();
}

SMTG_EXPORT_SYMBOL unsigned long long TalvenEditorThreadToken(void)
{
    return talven::testplugin::threadToken();
}

SMTG_EXPORT_SYMBOL void TalvenEditorObserve(TalvenEditorEventProc observer)
{
    talven::testplugin::setEditorObserver(observer);
}

} // extern "C"
