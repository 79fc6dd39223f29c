#include "EditorWindowSupport.h"

#include "IsolatedRun.h"

#include <tlhelp32.h>

#include <algorithm>

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

// The processes this one started (its talven-host processes): other test
// programs running meanwhile show editor windows of the same class.
std::vector<DWORD> childProcesses()
{
    std::vector<DWORD> children;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return children;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId())
            children.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return children;
}

struct EditorSearch {
    std::vector<HWND> found;
    std::vector<DWORD> owners; // empty: any owner (this thread's windows)
};

BOOL CALLBACK collectEditor(HWND hwnd, LPARAM search)
{
    auto& into = *reinterpret_cast<EditorSearch*>(search);
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) != L"VSTSDK WindowClass")
        return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (into.owners.empty() || std::find(into.owners.begin(), into.owners.end(), owner) != into.owners.end())
        into.found.push_back(hwnd);
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
    EditorSearch search;
    // Isolated, they are the top-level windows of this program's
    // talven-host processes.
    if (isolatedRun()) {
        search.owners = childProcesses();
        if (!search.owners.empty())
            EnumWindows(collectEditor, reinterpret_cast<LPARAM>(&search));
    } else {
        EnumThreadWindows(GetCurrentThreadId(), collectEditor, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
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
