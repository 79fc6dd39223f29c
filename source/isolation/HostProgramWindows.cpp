#include "isolation/HostProgram.h"

#include "platform/TextConversion.h"

#include <windows.h>

namespace talven {

std::string hostProgramPath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&hostProgramPath), &module))
        return {};
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    path.resize(length);
    const std::size_t slash = path.find_last_of(L"\\/");
    path = (slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash)) + L"\\talven-host.exe";
    const auto utf8 = utf16ToUtf8(std::u16string(path.begin(), path.end()));
    return utf8 ? *utf8 : std::string();
}

void keepLibraryLoadedForIsolation()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&keepLibraryLoadedForIsolation), &module);
}

std::vector<std::string> hostLibraryFolders()
{
    return {};
}

} // namespace talven
