#include "WindowTestSupport.h"

#include <cstdio>
#include <stdexcept>
#include <thread>

namespace talven::test {
namespace {

// Under Wine without a window manager (Xvfb), hiding a managed window waits
// up to 2 s for a window manager that never answers. This program's windows
// are made unmanaged in its Wine prefix before the first window exists; on
// Windows the key means nothing.
const bool unmanagedUnderWine = [] {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\editor_window_tests.exe\\X11 Driver", 0,
                        nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const wchar_t no[] = L"N";
    bool done = RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof(no))
                == ERROR_SUCCESS;
    RegCloseKey(key);
    return done;
}();

} // namespace

bool RecordingController::onShow(IWindow&)
{
    calls.push_back("show");
    return attaches;
}

void RecordingController::onClose(IWindow&)
{
    calls.push_back("close");
}

void RecordingController::onResize(IWindow&, Size newSize)
{
    calls.push_back("resize " + std::to_string(newSize.width) + "x" + std::to_string(newSize.height));
}

void RecordingController::onContentScaleFactorChanged(IWindow&, float newScaleFactor)
{
    char text[32];
    std::snprintf(text, sizeof(text), "scale %.2f", newScaleFactor);
    calls.push_back(text);
}

Size RecordingController::constrainSize(IWindow&, Size requestedSize)
{
    calls.push_back("constrain " + std::to_string(requestedSize.width) + "x"
                    + std::to_string(requestedSize.height));
    if (requestedSize.width > maxWidth)
        requestedSize.width = maxWidth;
    return requestedSize;
}

std::vector<std::array<int, 3>> positionReports;

void recordPosition(Steinberg::int32 left, Steinberg::int32 top, Steinberg::int32 closing)
{
    positionReports.push_back({left, top, closing});
}

void recordPositionElsewhere(Steinberg::int32, Steinberg::int32, Steinberg::int32 closing)
{
    positionReports.push_back({-1, -1, closing});
}

void recordPositionThenThrowStd(Steinberg::int32 left, Steinberg::int32 top, Steinberg::int32 closing)
{
    recordPosition(left, top, closing);
    throw std::runtime_error("callback failed");
}

void recordPositionThenThrowInt(Steinberg::int32 left, Steinberg::int32 top, Steinberg::int32 closing)
{
    recordPosition(left, top, closing);
    throw 42;
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TestWindow::TestWindow(Size contentSize, bool resizable, const char* title)
{
    auto made = Window::make();
    if (made->init(title, contentSize, resizable, controller, nullptr)) {
        window = made;
        hwnd = static_cast<HWND>(window->getNativePlatformWindow().ptr);
    }
}

RECT outerRect(HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

Size clientSize(HWND hwnd)
{
    RECT rect{};
    GetClientRect(hwnd, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace talven::test
