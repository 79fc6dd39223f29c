#include "platform/DynamicLibrary.h"

#include "platform/TextConversion.h"

#include <dlfcn.h>

namespace talven {

LibraryHandle loadLibrary(const std::string& utf8Path, std::string& error)
{
    if (!isValidUtf8(utf8Path)) {
        error = "path is not valid UTF-8";
        return nullptr;
    }
    void* library = dlopen(utf8Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : "dlopen failed";
    }
    return library;
}

void* librarySymbol(LibraryHandle library, const char* name)
{
    if (!library || !name)
        return nullptr;
    return dlsym(library, name);
}

void freeLibrary(LibraryHandle library)
{
    if (library)
        dlclose(library);
}

} // namespace talven
