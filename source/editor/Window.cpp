#include "editor/Window.h"

#include "editor/MonitorScale.h"
#include "editor/PostedWindowTasks.h"
#include "editor/WindowClass.h"
#include "editor/WindowTitle.h"
#include "platform/ReportScope.h"

#include "pluginterfaces/gui/iplugview.h"

#include <cstdio>
#include <cwchar>
#include <new>

namespace Steinberg::Vst::EditorHost {
namespace {

constexpr DWORD kFixedStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kResizableStyle = kFixedStyle | WS_SIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kExtendedStyle = WS_EX_APPWINDOW;
static_assert(kFixedStyle == 0x06C80000 && kResizableStyle == 0x06CD0000, "window styles");

// Progress lines for whoever watches the program's console.
void writeConsoleLine(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

RECT outerRect(HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

// Opens and closes a report scope on the window's thread: the reports waiting
// there reach the program's callback as it closes.
class ReportRound final : public WindowTask {
public:
    void run() noexcept override { talven::ReportScope deliverOnClose; }
    // The thread ended or its window went: the reports wait for that thread's
    // next library call, which only it can deliver.
    void runOrphaned() noexcept override {}
};

bool isEditorWindow(HWND hwnd)
{
    wchar_t className[64] = {};
    if (GetClassNameW(hwnd, className, 64) == 0 || std::wcscmp(className, talven::kEditorWindowClassName) != 0)
        return false;
    return reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC)) == &Window::windowProcedure;
}

BOOL CALLBACK findEditorChild(HWND hwnd, LPARAM found)
{
    if (!isEditorWindow(hwnd))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

// A window of this thread with the editor class and its procedure: a
// top-level one, or one embedded in a program's window of this thread.
BOOL CALLBACK findEditorWindow(HWND hwnd, LPARAM found)
{
    if (!isEditorWindow(hwnd)) {
        EnumChildWindows(hwnd, findEditorChild, found);
        return *reinterpret_cast<HWND*>(found) ? FALSE : TRUE;
    }
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

} // namespace

bool Window::postReportRound() noexcept
{
    HWND target = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findEditorWindow, reinterpret_cast<LPARAM>(&target));
    if (!target)
        return false;
    std::unique_ptr<WindowTask> task(new (std::nothrow) ReportRound);
    if (!task)
        return false;
    const std::uint64_t id = talven::PostedWindowTasks::add(target, GetCurrentThreadId(), task);
    if (id == 0)
        return false;
    if (PostMessageW(target, destroyRequestMessage(), 0, static_cast<LPARAM>(id)))
        return true;
    talven::PostedWindowTasks::take(id);
    return false;
}

std::shared_ptr<Window> Window::make()
{
    return std::make_shared<Window>(Token{});
}

Window::~Window() noexcept
{
    if (!hwnd_)
        return;
    DWORD owner = GetWindowThreadProcessId(hwnd_, nullptr);
    if (owner == GetCurrentThreadId())
        DestroyWindow(hwnd_);
    else if (owner != 0) // 0: the window is gone already
        PostMessageW(hwnd_, destroyRequestMessage(), 0, 0);
}

bool Window::init(const char* title, Size contentSize, bool resizable, const WindowControllerPtr& controller,
                  HINSTANCE moduleInstance)
{
    if (hwnd_)
        return false; // one native window per Window
    controller_ = controller;
    if (!talven::registerEditorWindowClass(moduleInstance, &Window::windowProcedure))
        return false;
    talven::ReportScope::setWaker(&Window::postReportRound);
    std::wstring wideTitle = talven::windowTitleFromUtf8(title);
    DWORD style = resizable ? kResizableStyle : kFixedStyle;
    RECT outer{0, 0, contentSize.width, contentSize.height};
    AdjustWindowRectEx(&outer, style, FALSE, kExtendedStyle);
    HWND hwnd = CreateWindowExW(kExtendedStyle, talven::kEditorWindowClassName, wideTitle.c_str(), style, 0, 0,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                moduleInstance, nullptr);
    if (!hwnd)
        return false;
    auto link = std::make_unique<Link>();
    link->window = weak_from_this();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link.release()));
    hwnd_ = hwnd;
    ownerThread_ = GetCurrentThreadId();
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
    self_ = shared_from_this();
    return true;
}

bool Window::initChild(HWND parent, Size contentSize, const WindowControllerPtr& controller,
                       HINSTANCE moduleInstance)
{
    if (hwnd_ || !parent || !IsWindow(parent) || GetWindowThreadProcessId(parent, nullptr) != GetCurrentThreadId())
        return false;
    controller_ = controller;
    if (!talven::registerEditorWindowClass(moduleInstance, &Window::windowProcedure))
        return false;
    talven::ReportScope::setWaker(&Window::postReportRound);
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, talven::kEditorWindowClassName, L"",
                                WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, contentSize.width,
                                contentSize.height, parent, nullptr, moduleInstance, nullptr);
    if (!hwnd)
        return false;
    auto link = std::make_unique<Link>();
    link->window = weak_from_this();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link.release()));
    hwnd_ = hwnd;
    ownerThread_ = GetCurrentThreadId();
    child_ = true;
    self_ = shared_from_this();
    return true;
}

float Window::getContentScaleFactor() const
{
    return talven::monitorScaleFactor(hwnd_);
}

void Window::show(int32 x, int32 y)
{
    if (!hwnd_)
        return;
    if (child_) {
        show(); // always at the parent's top-left corner
        return;
    }
    if (controller_) {
        controller_->onContentScaleFactorChanged(*this, getContentScaleFactor());
        // A view that is not in the window leaves it hidden: nothing to show.
        if (!controller_->onShow(*this))
            return;
    }
    if (x == 0 && y == 0) {
        // Centred by the client size; the frame is not counted.
        RECT client{};
        GetClientRect(hwnd_, &client);
        x = GetSystemMetrics(SM_CXSCREEN) / 2 - (client.right - client.left) / 2;
        y = GetSystemMetrics(SM_CYSCREEN) / 2 - (client.bottom - client.top) / 2;
    }
    SetWindowPos(hwnd_, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOCOPYBITS);
    showNow();
}

void Window::show()
{
    if (!hwnd_)
        return;
    if (controller_) {
        controller_->onContentScaleFactorChanged(*this, getContentScaleFactor());
        // A view that is not in the window leaves it hidden: nothing to show.
        if (!controller_->onShow(*this))
            return;
    }
    showNow();
}

void Window::showNow()
{
    ShowWindow(hwnd_, SW_SHOW);
    // A visible window keeps itself alive; one the user closed is cut off
    // from this object and no longer needs to.
    if (Link* current = link(); current && !current->cutOff)
        self_ = shared_from_this();
    writeConsoleLine("Window::show");
}

void Window::close()
{
    // Hidden windows live only as long as their holders (see the class).
    std::shared_ptr<Window> keepAlive = std::move(self_);
    if (!hwnd_)
        return;
    KillTimer(hwnd_, kIdleTimerId);
    idleTick_ = nullptr;
    ShowWindow(hwnd_, SW_HIDE);
    if (child_) {
        // A child has no position of its own to report.
        writeConsoleLine("Window::close");
        return;
    }
    reportPosition(1);
    writeConsoleLine("Window::close");
}

void Window::setIdleTick(std::function<void()> tick)
{
    if (!hwnd_)
        return;
    idleTick_ = std::move(tick);
    if (idleTick_)
        SetTimer(hwnd_, kIdleTimerId, kIdleTickPeriodMs, nullptr);
    else
        KillTimer(hwnd_, kIdleTimerId);
}

void Window::closeImmediately()
{
    const std::shared_ptr<Window> keepAlive = shared_from_this();
    close();
    if (controller_)
        controller_->onClose(*this);
    cutOff();
    self_.reset();
}

void Window::resize(Size newSize)
{
    if (!hwnd_ || newSize == getContentSize())
        return;
    if (child_) {
        // Sends WM_SIZE, and so onResize, before it returns.
        SetWindowPos(hwnd_, nullptr, 0, 0, newSize.width, newSize.height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
        return;
    }
    RECT current = outerRect(hwnd_);
    WINDOWINFO info{};
    info.cbSize = sizeof(info);
    GetWindowInfo(hwnd_, &info);
    RECT outer{0, 0, newSize.width, newSize.height};
    AdjustWindowRectEx(&outer, info.dwStyle, FALSE, info.dwExStyle);
    // Sends WM_SIZE, and so onResize, before it returns.
    SetWindowPos(hwnd_, HWND_TOP, current.left, current.top, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

Size Window::getContentSize()
{
    RECT client{};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    return {client.right - client.left, client.bottom - client.top};
}

void Window::setPositionCallback(PositionCallback callback)
{
    if (!callbackSet_.exchange(true))
        positionCallback_.store(callback);
}

void Window::silence()
{
    callbackSet_.store(true);
    positionCallback_.store(nullptr);
    if (ownerThread_ == GetCurrentThreadId())
        return;
    while (reporting_.load() > 0)
        Sleep(1);
}

NativePlatformWindow Window::getNativePlatformWindow() const
{
    return {kPlatformTypeHWND, hwnd_};
}

tresult Window::queryInterface(const TUID, void**)
{
    return kNoInterface;
}

std::unique_ptr<WindowTask> Window::handToOwnerThread(std::unique_ptr<WindowTask> task)
{
    if (!hwnd_ || !task)
        return task;
    const DWORD owner = GetWindowThreadProcessId(hwnd_, nullptr);
    if (owner == 0 || owner == GetCurrentThreadId()) // 0: the window is gone already
        return task;
    // The table keeps the task until that thread runs it, or, should the
    // thread end first, until the next sweep finds it abandoned.
    const std::uint64_t id = talven::PostedWindowTasks::add(hwnd_, owner, task);
    if (id == 0)
        return task;
    if (PostMessageW(hwnd_, destroyRequestMessage(), 0, static_cast<LPARAM>(id)))
        return nullptr;
    return talven::PostedWindowTasks::take(id);
}

void Window::reportPosition(int32 closing) const
{
    RECT outer = outerRect(hwnd_);
    ++reporting_;
    const PositionCallback callback = positionCallback_.load();
    // The callback is the calling program's code: nothing it throws may
    // unwind through the system's message dispatch.
    try {
        if (callback)
            callback(outer.left, outer.top, closing);
    } catch (...) {
    }
    --reporting_;
}

Window::Link* Window::link() const
{
    return hwnd_ ? reinterpret_cast<Link*>(GetWindowLongPtrW(hwnd_, GWLP_USERDATA)) : nullptr;
}

void Window::cutOff()
{
    if (Link* current = link())
        current->cutOff = true;
}

} // namespace Steinberg::Vst::EditorHost
