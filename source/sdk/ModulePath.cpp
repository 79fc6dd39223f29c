#include "sdk/ModulePath.h"

#include "platform/TextConversion.h"

namespace VST3 {
namespace Hosting {
namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
constexpr const char* kArchitecture = "x86_64-win";
bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}
#else
constexpr char kSeparator = '/';
constexpr const char* kArchitecture = "x86_64-linux";
bool isSeparator(char c)
{
    return c == '/';
}
#endif

std::string libraryFileName(const std::string& packageName)
{
#if defined(_WIN32)
    return packageName;
#else
    const std::string extension = ".vst3";
    std::string stem = packageName;
    if (stem.size() > extension.size() && stem.compare(stem.size() - extension.size(), extension.size(), extension) == 0)
        stem.erase(stem.size() - extension.size());
    return stem + ".so";
#endif
}

} // namespace

const char* modulePathProblem(const std::string& path)
{
    if (path.empty())
        return "The module path is empty";
    if (path.find('\0') != std::string::npos)
        return "The module path contains a zero byte";
    if (!talven::isValidUtf8(path))
        return "The module path is not valid UTF-8";
    return nullptr;
}

std::string packageLibraryPath(const std::string& packagePath)
{
    std::string folder = packagePath;
    while (folder.size() > 1 && isSeparator(folder.back()))
        folder.pop_back();
    size_t cut = folder.size();
    while (cut > 0 && !isSeparator(folder[cut - 1]))
        --cut;
    std::string name = folder.substr(cut);
    std::string result = folder;
    if (!result.empty() && !isSeparator(result.back()))
        result += kSeparator;
    result += "Contents";
    result += kSeparator;
    result += kArchitecture;
    result += kSeparator;
    result += libraryFileName(name);
    return result;
}

} // namespace Hosting
} // namespace VST3
