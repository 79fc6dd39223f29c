#pragma once

#include "editor/EventLoop.h"
#include "editor/IWindow.h"
#include "editor/IWindowController.h"
#include "editor/PlugRunLoop.h"
#include "editor/X11Connection.h"

#include "pluginterfaces/base/smartpointer.h"

#include <xcb/xcb.h>

#include <atomic>
#include <memory>

namespace Steinberg::Vst::EditorHost {

// The X11 top-level window that frames one plug-in editor view (Linux): kept
// above other windows, placed and sized as the Win32 window is, its size
// fixed unless the view can resize, and offering the view the editor
// thread's run loop (Steinberg::Linux::IRunLoop) through queryInterface. The
// window manager's close button hides it as the Win32 close button does; a
// move or resize by the user is reported once it has settled. Made only
// through make(). Everything but the destructor, setPositionCallback and
// handToOwnerThread runs on the editor thread.
//
// Lifetime as the Win32 window: while shown it holds a strong reference to
// itself; hidden, it lives as long as its holders, and the native window goes
// with the object (on the editor thread, wherever the last holder lets go).
class X11Window : public IWindow, public std::enable_shared_from_this<X11Window> {
    class Token {
        explicit Token() = default;
        friend class X11Window;
    };

public:
    explicit X11Window(Token) {}
    ~X11Window() noexcept override; // any thread

    static std::shared_ptr<X11Window> make();

    // Creates the hidden native window with a content area of contentSize.
    // A null title gives an untitled window; bytes that are not UTF-8 show
    // as U+FFFD. False when there is no X display or no editor thread here.
    bool init(const char* title, Size contentSize, bool resizable, const WindowControllerPtr& controller);
    // Creates the hidden native window as a child of another client's window
    // (a program's panel) at its top-left corner, instead of a top-level
    // one: no title, no window-manager hints, no position reports; destroyed
    // with its parent. False when parent is not a window (the X error stays
    // on this connection) or there is no display or editor thread here.
    bool initEmbedded(xcb_window_t parent, Size contentSize, const WindowControllerPtr& controller);
    // Whether parent is a window initEmbedded can make a child of. Editor
    // thread.
    static bool canParent(xcb_window_t parent);
    // The parent (and with it the native window) was destroyed by its owner:
    // the view left, nothing of it is reached any more. Editor thread.
    bool lost() const { return lost_; }

    // What the close button does: onClose on the controller (the view leaves
    // while the window's run loop still serves it), then close(), cut the
    // window off from its events and drop the self reference.
    void closeImmediately();

    // One event about this window, from the connection.
    void handleEvent(const xcb_generic_event_t& event);

    //---IWindow---
    void show(int32 x, int32 y) override;
    void show() override;
    void close() override;
    void resize(Size newSize) override;
    Size getContentSize() override;
    void setPositionCallback(PositionCallback callback) override; // any thread
    void silence() override;                                      // any thread
    bool ownedByCallingThread() const override;                   // any thread
    void setIdleTick(std::function<void()> tick) override;
    NativePlatformWindow getNativePlatformWindow() const override;
    // The run loop (Steinberg::Linux::IRunLoop) for the view shown in it.
    tresult queryInterface(const TUID iid, void** obj) override;
    std::unique_ptr<WindowTask> handToOwnerThread(std::unique_ptr<WindowTask> task) override;

private:
    struct Point {
        int32 x = 0;
        int32 y = 0;
    };

    void setProperties(const char* title);
    void setSizeHints(bool positioned);
    // Sends a configure request; events generated before it are stale.
    void configure(std::uint16_t mask, const std::uint32_t* values);
    void showNow();
    void onConfigure(const xcb_configure_notify_event_t& event);
    void onDestroyed();
    static bool isOutputWindow(talven::X11Connection& connection, xcb_window_t window);
    void onUserResize(Size proposed);
    void settleLater();
    void cancelSettle();
    Point outerPosition() const;
    void reportPosition(int32 closing) const;
    void retireRunLoop();
    void stopIdleTick();

    std::shared_ptr<X11Window> self_;
    WindowControllerPtr controller_;
    std::shared_ptr<talven::X11Connection> connection_;
    xcb_window_t id_ = XCB_WINDOW_NONE;
    bool resizable_ = false;
    bool cutOff_ = false;       // the user closed it: events no longer handled
    bool embedded_ = false;     // a child of a program's window
    bool lost_ = false;         // embedded, and destroyed with its parent
    bool parentIsRoot_ = true;  // not (yet) reparented by a window manager
    Size size_;                 // the content size, as last set or reported
    Point expectedOuter_;       // where this window last put itself or was seen
    std::uint32_t lastRequest_ = 0; // sequence of the last configure request
    talven::EventLoop::Id settleTimer_ = 0;
    talven::EventLoop::Id idleTimer_ = 0;
    Steinberg::IPtr<talven::PlugRunLoop> runLoop_;
    // Set from the attach's thread while the editor thread may report.
    std::atomic<bool> callbackSet_{false};
    std::atomic<PositionCallback> positionCallback_{nullptr};
    // Reports under way (editor thread), for silence() to wait for.
    mutable std::atomic<int> reporting_{0};
};

} // namespace Steinberg::Vst::EditorHost
