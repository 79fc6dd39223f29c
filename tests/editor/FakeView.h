// A plug-in editor view written for the controller tests: records every call
// the host makes and answers as the test sets it. Counted like a plug-in's
// object; one reference at creation.
#pragma once

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

#include <functional>
#include <string>
#include <vector>

namespace talven::test {

class FakeView : public Steinberg::IPlugView, public Steinberg::IPlugViewContentScaleSupport {
public:
    FakeView(int width, int height, bool scaleSupport = true);
    virtual ~FakeView() = default;

    // Calls in order: "isPlatformTypeSupported X", "setFrame frame|null",
    // "attached X", "removed", "getSize", "onSize 0,0,500,300", "canResize",
    // "checkSizeConstraint 0,0,700,300", "setContentScaleFactor 1.50".
    std::vector<std::string> calls;
    int references() const { return references_; }
    Steinberg::IPlugFrame* frame = nullptr;
    Steinberg::ViewRect size;

    // Answers.
    bool supportsType = true;
    bool attachedFails = false; // attached answers kResultFalse
    bool getSizeFails = false;
    bool removedFails = false;
    int maxWidth = 0;          // checkSizeConstraint caps the width there (0: none)
    bool refuseSizes = false;  // checkSizeConstraint answers kResultFalse
    bool resizable = true;     // canResize answers kResultTrue
    // Run inside onSize, after it recorded the call.
    std::function<void(FakeView&)> duringOnSize;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return ++references_; }
    Steinberg::uint32 PLUGIN_API release() override;

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
    Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* rect) override;
    Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API onFocus(Steinberg::TBool) override { return Steinberg::kResultOk; }
    Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* newFrame) override;
    Steinberg::tresult PLUGIN_API canResize() override
    {
        calls.push_back("canResize");
        return resizable ? Steinberg::kResultTrue : Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;
    Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

private:
    bool scaleSupport_;
    int references_ = 1;
};

std::string rectText(const Steinberg::ViewRect& rect);

} // namespace talven::test
