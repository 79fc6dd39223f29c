#include "isolation/HostProgram.h"

#include <dlfcn.h>

namespace talven {

std::string hostProgramPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&hostProgramPath), &info) == 0 || !info.dli_fname)
        return {};
    const std::string module = info.dli_fname;
    const std::size_t slash = module.rfind('/');
    return (slash == std::string::npos ? std::string(".") : module.substr(0, slash)) + "/talven-host";
}

} // namespace talven
