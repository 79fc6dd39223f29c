#include "isolation/HostProgram.h"

#include "registry/BassApi.h"

#include <dlfcn.h>

namespace talven {
namespace {

// The folder of the module that holds address, or "" when unknown.
std::string folderOf(void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    const std::string module = info.dli_fname;
    const std::size_t slash = module.rfind('/');
    return slash == std::string::npos ? std::string(".") : module.substr(0, slash);
}

} // namespace

std::string hostProgramPath()
{
    const std::string folder = folderOf(reinterpret_cast<void*>(&hostProgramPath));
    return folder.empty() ? folder : folder + "/talven-host";
}

void keepLibraryLoadedForIsolation() {}

std::vector<std::string> hostLibraryFolders()
{
    std::vector<std::string> folders;
    for (void* address : {reinterpret_cast<void*>(&hostProgramPath), reinterpret_cast<void*>(&BASS_GetConfig)}) {
        const std::string folder = folderOf(address);
        if (!folder.empty())
            folders.push_back(folder);
    }
    return folders;
}

} // namespace talven
