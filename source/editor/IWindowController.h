#pragma once

#include "editor/IWindow.h"

#include <memory>

namespace Steinberg::Vst::EditorHost {

// What a window reports to the object that owns its content. Called on the
// window's thread, from its message handling or from the window's own
// operations.
class IWindowController {
public:
    virtual ~IWindowController() noexcept = default;

    // The window is about to become visible (the content is attached here).
    // False when the content is not in the window (it refused it): the
    // window then stays hidden rather than show empty.
    virtual bool onShow(IWindow& window) = 0;
    // The user closed the window (the content is detached here).
    virtual void onClose(IWindow& window) = 0;
    // The content area now has this size.
    virtual void onResize(IWindow& window, Size newSize) = 0;
    virtual void onContentScaleFactorChanged(IWindow& window, float newScaleFactor) = 0;
    // The user proposes a content size while dragging a border; the answer is
    // the size the window takes.
    virtual Size constrainSize(IWindow& window, Size requestedSize) = 0;
};

using WindowControllerPtr = std::shared_ptr<IWindowController>;

} // namespace Steinberg::Vst::EditorHost
