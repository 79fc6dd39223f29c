#include "Platform.h"

#include <unistd.h>

#include <cstdlib>

namespace talven::apply {

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::FILE* partStandardOutput()
{
    std::fflush(stdout);
    const int results = dup(STDOUT_FILENO);
    if (results < 0)
        return stdout;
    std::FILE* out = fdopen(results, "w");
    if (!out || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        if (out)
            std::fclose(out);
        else
            close(results);
        return stdout;
    }
    return out;
}

std::vector<std::filesystem::path> standardPluginFolders()
{
    std::vector<std::filesystem::path> folders;
    const char* home = std::getenv("HOME");
    if (home && *home)
        folders.push_back(std::filesystem::path(home) / ".vst3");
    folders.emplace_back("/usr/lib/vst3");
    folders.emplace_back("/usr/local/lib/vst3");
    return folders;
}

} // namespace talven::apply
