#pragma once

#include "editor/IWindow.h"
#include "editor/IWindowController.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

namespace Steinberg::Vst::EditorHost {

// The Win32 top-level window that frames one plug-in editor view: topmost,
// themed title bar, sizing negotiated with its controller. Made only through
// make(). Everything but the destructor runs on the thread that called init();
// that thread's message pump delivers the window's messages.
//
// Lifetime: from init, and again whenever shown, the window holds a strong
// reference to itself, so a visible window stays open whoever lets go. Once hidden (close(), or the user's close
// button) it lives only as long as its holders; when the last one lets go the
// native window, its icon and its link are destroyed too, so that opening
// editors again and again leaves nothing behind.
class Window : public IWindow, public std::enable_shared_from_this<Window> {
    class Token {
        explicit Token() = default;
        friend class Window;
    };

public:
    explicit Window(Token) {}
    ~Window() noexcept override; // any thread

    static std::shared_ptr<Window> make();

    // Creates the hidden native window with a client area of contentSize.
    // A null title gives an untitled window; bytes that are not UTF-8 show as
    // U+FFFD. moduleInstance may be null. True when the native window exists.
    bool init(const char* title, Size contentSize, bool resizable,
              const WindowControllerPtr& controller, HINSTANCE moduleInstance);

    // Creates the hidden native window as a child of the program's window
    // parent, at its top-left corner, with a client area of contentSize
    // instead: no frame, no title, no position reports; a control parent for
    // keyboard navigation. Destroyed with parent: the view then leaves first
    // (WM_DESTROY, while the view's own window still exists). The calling
    // thread must own parent. True when the native window exists.
    bool initChild(HWND parent, Size contentSize, const WindowControllerPtr& controller, HINSTANCE moduleInstance);

    // The scale factor of the monitor nearest to the window (1.0 when the
    // system cannot tell).
    float getContentScaleFactor() const;

    // What the close button does: close(), then onClose on the controller,
    // cut the native window off from this object and drop the self reference.
    void closeImmediately();

    //---IWindow---
    void show(int32 x, int32 y) override;
    void show() override;
    void close() override;
    void resize(Size newSize) override;
    Size getContentSize() override;
    void setPositionCallback(PositionCallback callback) override;
    void silence() override; // any thread
    bool ownedByCallingThread() const override { return ownerThread_ == 0 || ownerThread_ == GetCurrentThreadId(); }
    NativePlatformWindow getNativePlatformWindow() const override;
    tresult queryInterface(const TUID iid, void** obj) override;
    std::unique_ptr<WindowTask> handToOwnerThread(std::unique_ptr<WindowTask> task) override;

    // The class's window procedure.
    static LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The parameter reports' waker (talven::ReportScope): a plug-in's view
    // reports its edits from its own window procedure, which the program's
    // message loop runs outside every library call. Posts a task to an
    // editor window of the calling thread that delivers them once that
    // procedure has returned; false when the thread has no such window.
    static bool postReportRound() noexcept;

    void setIdleTick(std::function<void()> tick) override;
    // The timer behind it (SetTimer on the window).
    static constexpr UINT_PTR kIdleTimerId = 0x7A1E;

private:
    // The native window's user data: owned by the native window and touched
    // only on its thread, so a Window released on another thread never leaves
    // the procedure a dangling pointer. Once cut off (the user's close), the
    // window's messages take the class's default handling; only its
    // destruction is still passed on, so the Window never keeps a stale handle.
    struct Link {
        std::weak_ptr<Window> window;
        bool cutOff = false;
    };

    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void constrainProposedRect(RECT& proposed);
    void showNow();
    void reportPosition(int32 closing) const;
    Link* link() const;
    void cutOff();
    static void releaseNativeResources(HWND hwnd);
    // Asks the window's thread to destroy a window whose Window is gone:
    // DestroyWindow works only there. With an id in lParam, the message
    // stands for a task kept in PostedWindowTasks, run on the window's thread.
    static UINT destroyRequestMessage();
    static LRESULT defaultMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::shared_ptr<Window> self_;
    WindowControllerPtr controller_;
    HWND hwnd_ = nullptr;
    // Set on the window's thread, cleared by silence() from any thread.
    std::atomic<bool> callbackSet_{false};
    std::atomic<PositionCallback> positionCallback_{nullptr};
    mutable std::atomic<int> reporting_{0}; // reports under way
    DWORD ownerThread_ = 0;                 // the thread that made the window
    std::function<void()> idleTick_;
    bool child_ = false; // a child of a program's window (initChild)
};

} // namespace Steinberg::Vst::EditorHost
