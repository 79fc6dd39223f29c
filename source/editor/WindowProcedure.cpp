#include "editor/Window.h"

#include "editor/BlankIcon.h"
#include "editor/PostedWindowTasks.h"
#include "editor/WindowTheme.h"

namespace Steinberg::Vst::EditorHost {
namespace {

constexpr UINT kDpiChanged = 0x02E0;            // WM_DPICHANGED, missing from older headers
constexpr UINT kDpiChangedAfterParent = 0x02E3; // WM_DPICHANGED_AFTERPARENT: what a child hears

} // namespace

UINT Window::destroyRequestMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Talven.DestroyEditorWindow");
    return message;
}

LRESULT CALLBACK Window::windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind into the system's message dispatch.
    try {
        auto* link = reinterpret_cast<Link*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        // Holding the Window for the whole message lets its handling drop the
        // last other reference (the self reference on close) safely.
        std::shared_ptr<Window> window = link ? link->window.lock() : nullptr;
        if (message == WM_NCDESTROY) {
            if (window) { // outlived by its Window: destroyed from outside, or its thread ended
                window->hwnd_ = nullptr;
                window->self_.reset();
            }
            releaseNativeResources(hwnd);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        if (message == destroyRequestMessage()) {
            if (lParam != 0) {
                // A task handed over from another thread (handToOwnerThread),
                // unless a sweep took it meanwhile.
                if (std::unique_ptr<WindowTask> task = talven::PostedWindowTasks::take(static_cast<std::uint64_t>(lParam)))
                    task->run();
                return 0;
            }
            // Only for a window whose Window is gone: a stale request must not
            // end a window still in use.
            if (!window)
                DestroyWindow(hwnd);
            return 0;
        }
        if (window && !link->cutOff)
            return window->handleMessage(hwnd, message, wParam, lParam);
        return defaultMessage(hwnd, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// A window without a live Window to handle its messages: during creation (the
// link is set only after CreateWindowExW returns), after the user closed it,
// and while or after its Window is destroyed.
LRESULT Window::defaultMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        talven::attachBlankIcon(hwnd);
        talven::applyTitleBarTheme(hwnd);
    } else if (message == WM_SETTINGCHANGE) {
        talven::applyTitleBarTheme(hwnd);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Window::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (controller_)
            controller_->onResize(*this, getContentSize());
        break;
    case WM_PAINT: {
        // The view paints its own child window; the frame shows nothing.
        PAINTSTRUCT paint{};
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_CLOSE:
        // Not passed on: the default would destroy the native window, which
        // stays (hidden) until its Window is released.
        reportPosition(1);
        closeImmediately();
        return 1;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTINGCHANGE:
        talven::applyTitleBarTheme(hwnd);
        break;
    case WM_SIZING:
        if (lParam)
            constrainProposedRect(*reinterpret_cast<RECT*>(lParam));
        return 1;
    case WM_EXITSIZEMOVE:
        reportPosition(0);
        break;
    case WM_TIMER:
        if (wParam == kIdleTimerId && idleTick_) {
            // A copy: the tick may close this window (a detach from the
            // program's parameter callback), which lets go of idleTick_.
            const std::function<void()> tick = idleTick_;
            tick();
        }
        break;
    case WM_SETFOCUS:
        // A child holds nothing to type into: the focus goes on to the
        // view's own window, as a dialog hands it to its first control.
        if (child_) {
            if (HWND inner = GetWindow(hwnd, GW_CHILD))
                SetFocus(inner);
            return 0;
        }
        break;
    case WM_DESTROY:
        // Only a child is destroyed while its Window lives: its parent went
        // first. The view's own window still exists now; the view leaves it
        // and is let go.
        if (child_ && controller_)
            controller_->onClose(*this);
        break;
    case kDpiChangedAfterParent:
    case kDpiChanged:
        // The suggested rectangle is not applied: the view decides its size.
        if (controller_)
            controller_->onContentScaleFactorChanged(*this, getContentScaleFactor());
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The proposed outer rectangle is changed in place. Its left and top edges
// stay wherever the drag put them, whichever edge is dragged.
void Window::constrainProposedRect(RECT& proposed)
{
    RECT outer{};
    RECT client{};
    GetWindowRect(hwnd_, &outer);
    GetClientRect(hwnd_, &client);
    const int32 frameWidth = (outer.right - outer.left) - (client.right - client.left);
    const int32 frameHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
    const Size wanted{proposed.right - proposed.left - frameWidth, proposed.bottom - proposed.top - frameHeight};
    const Size accepted = controller_ ? controller_->constrainSize(*this, wanted) : wanted;
    if (accepted != wanted) {
        proposed.right = proposed.left + accepted.width + frameWidth;
        proposed.bottom = proposed.top + accepted.height + frameHeight;
    }
}

void Window::releaseNativeResources(HWND hwnd)
{
    std::unique_ptr<Link> link(reinterpret_cast<Link*>(SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0)));
    talven::releaseBlankIcon(hwnd);
}

} // namespace Steinberg::Vst::EditorHost
