// The EditorEffect plug-in's editor view: records what the host does to it
// (EditorState.h), answers as the test's options say, and shows a child
// window inside the frame's window (served from the host's run loop on
// Linux).
#pragma once

#include "ViewRunLoop.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include <atomic>

namespace talven::testplugin {

class EditorView : public Steinberg::IPlugView, public Steinberg::IPlugViewContentScaleSupport {
public:
    // controller: the one that made the view, held for the edits the view
    // makes.
    EditorView(Steinberg::Vst::EditController* controller, int width, int height);
    virtual ~EditorView();

    EditorView(const EditorView&) = delete;
    EditorView& operator=(const EditorView&) = delete;

    // A reference unless the last one is already gone. Any thread.
    bool tryAddRef();

    // Test controls, on the window's thread.
    int requestResize(int width, int height);
    void* childWindow() const { return child_; }
    int frameAnswersItself();
    // The edit a test asked for (requestViewEdit), if one waits, through the
    // controller's component handler. The view's thread, while attached.
    void makeWaitingEdit();

    // ---- FUnknown
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    // ---- IPlugView
    Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API removed() override;
    Steinberg::tresult PLUGIN_API onWheel(float) override { return Steinberg::kResultFalse; }
    Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16, Steinberg::int16, Steinberg::int16) override
    {
        return Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16, Steinberg::int16, Steinberg::int16) override
    {
        return Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
    Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API onFocus(Steinberg::TBool) override { return Steinberg::kResultOk; }
    Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
    Steinberg::tresult PLUGIN_API canResize() override;
    Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

    // ---- IPlugViewContentScaleSupport
    Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

private:
    void dropChildWindow();

    std::atomic<Steinberg::uint32> references_{1};
    Steinberg::IPtr<Steinberg::Vst::EditController> controller_;
    Steinberg::ViewRect size_;
    Steinberg::IPlugFrame* frame_ = nullptr; // not counted, as hosts expect
    void* child_ = nullptr;                  // HWND on Windows, the X window id on Linux
    ViewRunLoop runLoop_;
};

} // namespace talven::testplugin
