#pragma once

#include "pluginterfaces/base/funknown.h"

#include <functional>
#include <memory>

namespace Steinberg::Vst::EditorHost {

// A width and height in the window system's pixels.
struct Size {
    int32 width = 0;
    int32 height = 0;
};

inline bool operator==(Size a, Size b)
{
    return a.width == b.width && a.height == b.height;
}

inline bool operator!=(Size a, Size b)
{
    return !(a == b);
}

// A native window as a view's attached() wants it: the platform type name
// ("HWND" on Windows) and the native handle.
struct NativePlatformWindow {
    FIDString type = nullptr;
    void* ptr = nullptr;
};

// The calling program's position callback: the editor window's outer left
// and top edge in screen coordinates, and closing 1 when the window was hidden
// or closed, 0 when the user finished moving or sizing it.
using PositionCallback = void (*)(int32 left, int32 top, int32 closing);

// Work handed to a window's thread: run there once, then destroyed there.
class WindowTask {
public:
    virtual ~WindowTask() noexcept = default;
    virtual void run() noexcept = 0;
    // Instead of run, when the window's thread ended (or the window went)
    // before it could run there: on another thread, with the window gone.
    virtual void runOrphaned() noexcept { run(); }
};

// The top-level window that frames one plug-in editor view. All operations
// but handToOwnerThread run on the thread that created the window.
class IWindow {
public:
    virtual ~IWindow() noexcept = default;

    // Shows the window with its outer top-left corner at (x, y); both 0
    // centres it on the primary screen.
    virtual void show(int32 x, int32 y) = 0;
    // Shows the window where it stands.
    virtual void show() = 0;
    // Hides the window and reports its position with closing 1.
    virtual void close() = 0;
    // Gives the content area a new size.
    virtual void resize(Size newSize) = 0;
    // The content (client-area) size.
    virtual Size getContentSize() = 0;
    // Stores the position callback; only the first call on a window counts.
    virtual void setPositionCallback(PositionCallback callback) = 0;
    // Any thread. No position report is made once this returns: a report in
    // progress on another thread is waited for (one on this thread, which
    // may be the caller's own callback, is not), and no callback is taken
    // afterwards. Windows that report only on the caller's thread need no
    // wait.
    virtual void silence() {}
    // Whether the window belongs to the calling thread (its close happens
    // here rather than on its own thread). Any thread.
    virtual bool ownedByCallingThread() const { return true; }
    virtual NativePlatformWindow getNativePlatformWindow() const = 0;
    // What the window offers the view through its frame besides: the Linux
    // window its run loop (Steinberg::Linux::IRunLoop); otherwise
    // kNoInterface, and the out pointer is left as it was.
    virtual tresult queryInterface(const TUID iid, void** obj) = 0;
    // Any thread. When the window belongs to another thread than the
    // caller's, posts task to that thread without waiting and returns null;
    // otherwise (the caller's own window, or no thread to take it) gives
    // task back. Windows that need no thread of their own give it back.
    virtual std::unique_ptr<WindowTask> handToOwnerThread(std::unique_ptr<WindowTask> task) { return task; }
    // While the window is shown, calls tick on its thread every
    // kIdleTickPeriodMs (the plug-in's meters move with what it brings);
    // close stops it. Windows without a thread of their own ignore it.
    static constexpr int kIdleTickPeriodMs = 25;
    virtual void setIdleTick(std::function<void()> tick) { static_cast<void>(tick); }
};

using WindowPtr = std::shared_ptr<IWindow>;

} // namespace Steinberg::Vst::EditorHost
