#include "editor/WindowController.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg::Vst::EditorHost {
namespace {

constexpr uint32 kUncountedReferences = 1000;

Size extent(const ViewRect& rect)
{
    return {rect.right - rect.left, rect.bottom - rect.top};
}

bool operator!=(const ViewRect& a, const ViewRect& b)
{
    return a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom;
}

// Clears a flag on every way out of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

WindowController::WindowController(IPtr<IPlugView> view) : view_(std::move(view)) {}

// Without removed(): a view still held here either was never attached or
// refused its removal.
WindowController::~WindowController() noexcept = default;

void WindowController::detachView()
{
    if (view_) {
        if (attached_) {
            // removed() first: a view may still reach its frame while it
            // takes itself down (JUCE unregisters from the run loop there).
            if (view_->removed() != kResultOk)
                return; // the view stays, with its frame and its window
            view_->setFrame(nullptr);
            attached_ = false;
        }
        view_ = nullptr;
    }
    window_ = nullptr;
}

//---IWindowController---

bool WindowController::onShow(IWindow& window)
{
    window_ = &window;
    if (!view_ || attached_)
        return attached_;
    const NativePlatformWindow native = window.getNativePlatformWindow();
    if (view_->isPlatformTypeSupported(native.type) != kResultTrue)
        return false;
    view_->setFrame(this);
    // Set first: the view may call resizeView from inside attached.
    attached_ = true;
    if (view_->attached(native.ptr, native.type) != kResultOk) {
        // Not attached, so owed no removed(); it keeps no frame either.
        attached_ = false;
        view_->setFrame(nullptr);
    }
    return attached_;
}

void WindowController::onClose(IWindow&)
{
    detachView();
}

void WindowController::onResize(IWindow&, Size newSize)
{
    if (!view_)
        return;
    ViewRect requested(0, 0, newSize.width, newSize.height);
    ViewRect current(0, 0, 0, 0);
    if (view_->getSize(&current) == kResultOk && requested != current)
        view_->onSize(&requested);
}

void WindowController::onContentScaleFactorChanged(IWindow&, float newScaleFactor)
{
    if (!view_)
        return;
    FUnknownPtr<IPlugViewContentScaleSupport> scaling(view_);
    if (scaling)
        scaling->setContentScaleFactor(newScaleFactor);
}

Size WindowController::constrainSize(IWindow&, Size requestedSize)
{
    ViewRect rect(0, 0, requestedSize.width, requestedSize.height);
    if (view_ && view_->checkSizeConstraint(&rect) != kResultTrue)
        view_->getSize(&rect);
    return extent(rect);
}

//---IPlugFrame---

tresult PLUGIN_API WindowController::queryInterface(const TUID iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<IPlugFrame*>(this);
        addRef();
        return kResultOk;
    }
    return window_ ? window_->queryInterface(iid, obj) : kNoInterface;
}

uint32 PLUGIN_API WindowController::addRef()
{
    return kUncountedReferences;
}

uint32 PLUGIN_API WindowController::release()
{
    return kUncountedReferences;
}

tresult PLUGIN_API WindowController::resizeView(IPlugView* view, ViewRect* newSize)
{
    if (!view || !newSize || view != view_)
        return kInvalidArgument;
    if (!window_)
        return kInternalError;
    if (resizeGuard_)
        return kResultFalse; // asked again from inside the resize below
    // Kept for the whole call: the window's resize reaches the view, which
    // might close the editor and so drop view_ meanwhile.
    const IPtr<IPlugView> keep = view_;
    ViewRect current(0, 0, 0, 0);
    if (keep->getSize(&current) != kResultOk)
        return kInternalError;
    Size taken;
    {
        // Held through the closing onSize too: a view that asks for another
        // size from every onSize would otherwise recurse without end.
        FlagScope guard(resizeGuard_);
        // The window's size event, and with it onResize, arrives before this
        // returns.
        IWindow* const window = window_;
        window->resize(extent(*newSize));
        taken = window->getContentSize();
        if (keep->getSize(&current) != kResultOk)
            return kInternalError;
        keep->onSize(newSize);
    }
    // Copied: the program's callback may close the editor, and this with it
    // is then held only by the caller's frame.
    if (const std::function<void(Size)> report = resizeReport_)
        report(taken);
    return kResultOk;
}

bool WindowController::viewSize(Size& size) const
{
    ViewRect rect(0, 0, 0, 0);
    if (!view_ || !attached_ || view_->getSize(&rect) != kResultOk)
        return false;
    size = extent(rect);
    return true;
}

bool WindowController::setViewSize(Size& size)
{
    if (!view_ || !attached_ || !window_ || view_->canResize() != kResultTrue)
        return false;
    const IPtr<IPlugView> keep = view_;
    ViewRect rect(0, 0, size.width, size.height);
    if (keep->checkSizeConstraint(&rect) != kResultTrue && keep->getSize(&rect) != kResultOk)
        return false;
    {
        // The view's own resizeView from inside onSize is not taken as a
        // size of its own choosing.
        FlagScope guard(resizeGuard_);
        if (window_)
            window_->resize(extent(rect));
        // A window that already had this size calls no onResize.
        ViewRect now(0, 0, 0, 0);
        if (keep->getSize(&now) == kResultOk && now != rect)
            keep->onSize(&rect);
    }
    ViewRect now(0, 0, 0, 0);
    if (keep->getSize(&now) != kResultOk)
        return false;
    size = extent(now);
    return true;
}

} // namespace Steinberg::Vst::EditorHost
