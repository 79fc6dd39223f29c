#pragma once

#include "editor/IWindowController.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <functional>

namespace Steinberg::Vst::EditorHost {

// Joins one plug-in editor view to the window that shows it: attaches and
// detaches the view as the window shows and closes, passes the window's
// sizes and scale to the view, and is the view's IPlugFrame, through which
// the view asks for another size. Runs on the window's thread.
//
// The view holds its frame without a reference (addRef/release count
// nothing): the controller lives as long as its shared owners, the instance
// and the window, and lets the view go before it ends.
class WindowController : public IWindowController, public IPlugFrame {
public:
    explicit WindowController(IPtr<IPlugView> view);
    ~WindowController() noexcept override;

    WindowController(const WindowController&) = delete;
    WindowController& operator=(const WindowController&) = delete;

    // What onClose does, without a window at hand: takes the view out of its
    // window (removed, then setFrame(null)) and lets it go. A view whose
    // removed fails is kept, frame and all. The window is forgotten either way.
    void detachView();

    // Called after the view resized itself (resizeView) and the window took
    // the size, with the window's new content size; outside every guard of
    // this object, so that it may call back in. Set before the view shows.
    void setResizeReport(std::function<void(Size)> report) { resizeReport_ = std::move(report); }

    // The attached view's size; false when no view is attached or it cannot
    // tell.
    bool viewSize(Size& size) const;
    // Asks the attached, resizable view for size: held to its constraints
    // (checkSizeConstraint), given to the window, which passes it on
    // (onSize). size is then what the view took. False, size untouched, when
    // no view is attached or it does not resize.
    bool setViewSize(Size& size);

    // The view still held, for tests and diagnosis.
    IPlugView* view() const { return view_; }
    // The view is in the window: it took the window's platform type and its
    // attached succeeded.
    bool viewAttached() const { return attached_; }

    //---IWindowController---
    bool onShow(IWindow& window) override;
    void onClose(IWindow& window) override;
    void onResize(IWindow& window, Size newSize) override;
    void onContentScaleFactorChanged(IWindow& window, float newScaleFactor) override;
    Size constrainSize(IWindow& window, Size requestedSize) override;

    //---IPlugFrame---
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    uint32 PLUGIN_API addRef() override;
    uint32 PLUGIN_API release() override;
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override;

private:
    IPtr<IPlugView> view_;
    IWindow* window_ = nullptr; // set by onShow, cleared by onClose
    // Set only while resizeView resizes the window and tells the view: the
    // view's size calls that this causes must not start another resize.
    bool resizeGuard_ = false;
    // removed() is owed only to a view that was attached.
    bool attached_ = false;
    std::function<void(Size)> resizeReport_;
};

} // namespace Steinberg::Vst::EditorHost
