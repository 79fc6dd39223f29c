#include "EditorView.h"

#include "ChildWindow.h"
#include "EditorState.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace talven::testplugin {

using namespace Steinberg;

namespace {

std::string sizeText(const ViewRect& rect)
{
    return std::to_string(rect.getWidth()) + "x" + std::to_string(rect.getHeight());
}

} // namespace

EditorView::EditorView(Vst::EditController* controller, int width, int height)
    : controller_(controller), size_(0, 0, width, height)
{
    addLiveView(this);
}

EditorView::~EditorView()
{
    removeLiveView(this);
    // A view released without removed() (its removal failed) takes its
    // window along: the window's procedure lives in this module.
    dropChildWindow();
}

bool EditorView::tryAddRef()
{
    uint32 count = references_.load();
    while (count != 0) {
        if (references_.compare_exchange_weak(count, count + 1))
            return true;
    }
    return false;
}

int EditorView::requestResize(int width, int height)
{
    if (!frame_)
        return -1;
    ViewRect wanted(0, 0, width, height);
    const tresult result = frame_->resizeView(this, &wanted);
    logEditorCall("resizeView " + sizeText(wanted) + " -> " + std::to_string(result));
    return result;
}

int EditorView::frameAnswersItself()
{
    if (!frame_)
        return -1;
    void* asFrame = nullptr;
    void* asUnknown = nullptr;
    const bool frameOk = frame_->queryInterface(IPlugFrame::iid, &asFrame) == kResultOk;
    const bool unknownOk = frame_->queryInterface(FUnknown::iid, &asUnknown) == kResultOk;
    if (frameOk)
        static_cast<IPlugFrame*>(asFrame)->release();
    if (unknownOk)
        static_cast<FUnknown*>(asUnknown)->release();
    return frameOk && unknownOk && asFrame == frame_ && asUnknown == frame_ ? 1 : 0;
}

void EditorView::makeWaitingEdit()
{
    unsigned id = 0;
    double value = 0;
    if (!child_ || !takeViewEdit(id, value))
        return;
    Vst::IComponentHandler* handler = controller_->getComponentHandler();
    if (!handler)
        return;
    controller_->setParamNormalized(id, value);
    handler->beginEdit(id);
    handler->performEdit(id, value);
    handler->endEdit(id);
    logEditorCall("performEdit " + std::to_string(id));
}

// ---- FUnknown

tresult PLUGIN_API EditorView::queryInterface(const TUID iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, IPlugView::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<IPlugView*>(this);
    } else if (FUnknownPrivate::iidEqual(iid, IPlugViewContentScaleSupport::iid)) {
        *obj = static_cast<IPlugViewContentScaleSupport*>(this);
    } else {
        *obj = nullptr;
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

uint32 PLUGIN_API EditorView::addRef()
{
    return ++references_;
}

uint32 PLUGIN_API EditorView::release()
{
    const uint32 count = --references_;
    if (count == 0)
        delete this;
    return count;
}

// ---- IPlugView

tresult PLUGIN_API EditorView::isPlatformTypeSupported(FIDString type)
{
    logEditorCall(std::string("isPlatformTypeSupported ") + (type ? type : "null"));
    const bool native = type && std::strcmp(type, nativeWindowType()) == 0;
    return native && editorOptions().platformSupported ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API EditorView::attached(void* parent, FIDString type)
{
    logEditorCall(std::string("attached ") + (type ? type : "null") + (parent ? "" : " without parent"));
    notifyEditorEvent("attached");
    if (!parent)
        return kInvalidArgument;
    child_ = createChildWindow(parent, size_.getWidth(), size_.getHeight());
    setLiveViewChild(this, child_);
    runLoop_.start(frame_, child_);
    return kResultOk;
}

tresult PLUGIN_API EditorView::removed()
{
    logEditorCall("removed");
    notifyEditorEvent("removed");
    if (editorOptions().removedFails)
        return kResultFalse;
    runLoop_.stop();
    dropChildWindow();
    return kResultOk;
}

tresult PLUGIN_API EditorView::getSize(ViewRect* size)
{
    if (!size || editorOptions().getSizeFails)
        return kResultFalse;
    *size = size_;
    return kResultOk;
}

tresult PLUGIN_API EditorView::onSize(ViewRect* newSize)
{
    if (!newSize)
        return kInvalidArgument;
    logEditorCall("onSize " + sizeText(*newSize));
    size_ = *newSize;
    if (child_)
        resizeChildWindow(child_, size_.getWidth(), size_.getHeight());
    if (editorOptions().resizeFromOnSize)
        requestResize(size_.getWidth() + 10, size_.getHeight() + 10);
    return kResultOk;
}

tresult PLUGIN_API EditorView::setFrame(IPlugFrame* frame)
{
    logEditorCall(frame ? "setFrame frame" : "setFrame null");
    frame_ = frame;
    return kResultOk;
}

tresult PLUGIN_API EditorView::canResize()
{
    logEditorCall("canResize");
    return editorOptions().canResize ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API EditorView::checkSizeConstraint(ViewRect* rect)
{
    if (!rect)
        return kInvalidArgument;
    logEditorCall("checkSizeConstraint " + sizeText(*rect));
    const TalvenEditorOptions options = editorOptions();
    if (options.refuseSizes)
        return rect->getWidth() == size_.getWidth() && rect->getHeight() == size_.getHeight() ? kResultTrue
                                                                                           : kResultFalse;
    if (options.maxWidth > 0 && rect->getWidth() > options.maxWidth)
        rect->right = rect->left + options.maxWidth;
    return kResultTrue;
}

// ---- IPlugViewContentScaleSupport

tresult PLUGIN_API EditorView::setContentScaleFactor(ScaleFactor factor)
{
    char text[48];
    std::snprintf(text, sizeof(text), "setContentScaleFactor %.2f", static_cast<double>(factor));
    logEditorCall(text);
    return kResultOk;
}

void EditorView::dropChildWindow()
{
    if (child_) {
        setLiveViewChild(this, nullptr);
        destroyChildWindow(child_);
    }
    child_ = nullptr;
}

} // namespace talven::testplugin
