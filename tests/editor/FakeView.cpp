#include "FakeView.h"

#include <cstdio>

namespace talven::test {

using namespace Steinberg;

std::string rectText(const ViewRect& rect)
{
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + ","
           + std::to_string(rect.bottom);
}

FakeView::FakeView(int width, int height, bool scaleSupport) : size(0, 0, width, height), scaleSupport_(scaleSupport)
{
}

tresult PLUGIN_API FakeView::queryInterface(const TUID iid, void** obj)
{
    if (FUnknownPrivate::iidEqual(iid, IPlugView::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        *obj = static_cast<IPlugView*>(this);
    } else if (scaleSupport_ && FUnknownPrivate::iidEqual(iid, IPlugViewContentScaleSupport::iid)) {
        *obj = static_cast<IPlugViewContentScaleSupport*>(this);
    } else {
        *obj = nullptr;
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

uint32 PLUGIN_API FakeView::release()
{
    const int left = --references_;
    if (left == 0)
        delete this;
    return static_cast<uint32>(left);
}

tresult PLUGIN_API FakeView::isPlatformTypeSupported(FIDString type)
{
    calls.push_back(std::string("isPlatformTypeSupported ") + type);
    return supportsType ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API FakeView::attached(void*, FIDString type)
{
    calls.push_back(std::string("attached ") + type);
    return attachedFails ? kResultFalse : kResultOk;
}

tresult PLUGIN_API FakeView::removed()
{
    calls.push_back("removed");
    return removedFails ? kResultFalse : kResultOk;
}

tresult PLUGIN_API FakeView::getSize(ViewRect* rect)
{
    calls.push_back("getSize");
    if (getSizeFails)
        return kResultFalse;
    *rect = size;
    return kResultOk;
}

tresult PLUGIN_API FakeView::onSize(ViewRect* newSize)
{
    calls.push_back("onSize " + rectText(*newSize));
    size = *newSize;
    if (duringOnSize)
        duringOnSize(*this);
    return kResultOk;
}

tresult PLUGIN_API FakeView::setFrame(IPlugFrame* newFrame)
{
    calls.push_back(newFrame ? "setFrame frame" : "setFrame null");
    frame = newFrame;
    return kResultOk;
}

tresult PLUGIN_API FakeView::checkSizeConstraint(ViewRect* rect)
{
    calls.push_back("checkSizeConstraint " + rectText(*rect));
    if (refuseSizes)
        return kResultFalse;
    if (maxWidth > 0 && rect->getWidth() > maxWidth)
        rect->right = rect->left + maxWidth;
    return kResultTrue;
}

tresult PLUGIN_API FakeView::setContentScaleFactor(ScaleFactor factor)
{
    char text[48];
    std::snprintf(text, sizeof(text), "setContentScaleFactor %.2f", static_cast<double>(factor));
    calls.push_back(text);
    return kResultOk;
}

} // namespace talven::test
