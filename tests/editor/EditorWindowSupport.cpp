#include "EditorWindowSupport.h"

#include "IsolatedRun.h"

namespace talven::test {
namespace {

// Under Wine without a window manager (Xvfb), hiding a managed window waits
// up to 2 s for a window manager that never answers. This program's windows
// (whichever test program links this file) are made unmanaged in its Wine
// prefix before the first window exists; on Windows the key means nothing.
const bool unmanagedUnderWine = [] {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH)
        return false;
    std::wstring program(path, length);
    program = program.substr(program.find_last_of(L"\\/") + 1);
    const std::wstring keyName = L"Software\\Wine\\AppDefaults\\" + program + L"\\X11 Driver";
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    const wchar_t no[] = L"N";
    const bool done = RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof(no))
                      == ERROR_SUCCESS;
    RegCloseKey(key);
    return done;
}();

BOOL CALLBACK collectEditor(HWND hwnd, LPARAM found)
{
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) == L"VSTSDK WindowClass")
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK countChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK countWithChildren(HWND hwnd, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(hwnd, countChild, count);
    return TRUE;
}

} // namespace

std::vector<HWND> editorWindows()
{
    std::vector<HWND> found;
    // Isolated, they are talven-host's: every top-level window of the desktop.
    if (isolatedRun())
        EnumWindows(collectEditor, reinterpret_cast<LPARAM>(&found));
    else
        EnumThreadWindows(GetCurrentThreadId(), collectEditor, reinterpret_cast<LPARAM>(&found));
    return found;
}

int threadWindowCount()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWithChildren, reinterpret_cast<LPARAM>(&count));
    return count;
}

RECT outerRect(HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

SIZE clientSize(HWND hwnd)
{
    RECT rect{};
    GetClientRect(hwnd, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring windowText(HWND hwnd)
{
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace talven::test
