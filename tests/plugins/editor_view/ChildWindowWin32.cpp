#include "ChildWindow.h"
#include "EditorState.h"

#include "pluginterfaces/gui/iplugview.h"

#include <windows.h>

#include <string>

namespace talven::testplugin {
namespace {

const wchar_t kClassName[] = L"TalvenTestEditorView";
const UINT kEditMessage = WM_APP + 1;

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

// A blue panel naming itself and its size, so that a screenshot shows where
// the view sits in the frame.
void paint(HWND hwnd)
{
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client{};
    GetClientRect(hwnd, &client);
    HBRUSH fill = CreateSolidBrush(RGB(40, 90, 170));
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const std::wstring text = L"Talven test editor view " + std::to_wstring(client.right) + L" x "
                              + std::to_wstring(client.bottom);
    DrawTextW(dc, text.c_str(), -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(hwnd, &paint);
}

LRESULT CALLBACK viewProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        paint(hwnd);
        return 0;
    }
    if (message == kEditMessage) {
        serviceViewEdits();
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

const char* nativeWindowType()
{
    return Steinberg::kPlatformTypeHWND;
}

void* createChildWindow(void* parent, int width, int height)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = viewProcedure;
    windowClass.hInstance = thisModule();
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass); // already there for a second view: fine
    return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                           static_cast<HWND>(parent), nullptr, thisModule(), nullptr);
}

void resizeChildWindow(void* child, int width, int height)
{
    SetWindowPos(static_cast<HWND>(child), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void destroyChildWindow(void* child)
{
    DestroyWindow(static_cast<HWND>(child));
    // Fails while other views' windows exist; the last one takes the class
    // along, so that a reloaded module never finds its old procedure.
    UnregisterClassW(kClassName, thisModule());
}

int childWindowFd(void*)
{
    return -1;
}

void drainChildWindow(void*) {}

void wakeChildWindow(void* child)
{
    PostMessageW(static_cast<HWND>(child), kEditMessage, 0, 0);
}

} // namespace talven::testplugin
