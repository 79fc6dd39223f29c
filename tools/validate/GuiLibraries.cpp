#include "GuiLibraries.h"

#if defined(__linux__) && defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>

#include <filesystem>
#endif

namespace talven::validate {

#if defined(__linux__) && defined(__SANITIZE_ADDRESS__)

void keepGuiLibrariesLoaded(const std::string& plugin)
{
    // The handles are never closed: the loads last as long as the process.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_LOCAL);
    const std::filesystem::path path(plugin);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        const std::filesystem::path binary =
            path / "Contents" / "x86_64-linux" / (path.stem().string() + ".so");
        dlopen(binary.c_str(), RTLD_LAZY | RTLD_LOCAL);
    } else {
        dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    }
}

#else

void keepGuiLibrariesLoaded(const std::string&) {}

#endif

} // namespace talven::validate
