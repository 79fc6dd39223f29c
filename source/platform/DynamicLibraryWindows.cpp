#include "platform/DynamicLibrary.h"

#include "platform/TextConversion.h"

#include <windows.h>

namespace talven {

LibraryHandle loadLibrary(const std::string& utf8Path, std::string& error)
{
    auto wide = utf8ToWide(utf8Path);
    if (!wide) {
        error = "path is not valid UTF-8";
        return nullptr;
    }
    HMODULE module = LoadLibraryW(wide->c_str());
    if (!module) {
        DWORD code = GetLastError();
        char* text = nullptr;
        DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                          | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<LPSTR>(&text), 0, nullptr);
        error = length ? std::string(text, length) : "error " + std::to_string(code);
        LocalFree(text);
    }
    return module;
}

void* librarySymbol(LibraryHandle library, const char* name)
{
    if (!library || !name)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(LibraryHandle library)
{
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace talven
