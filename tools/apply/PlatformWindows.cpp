#include "Platform.h"

#include "platform/TextConversion.h"

#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <io.h>

#include <memory>
#include <optional>

namespace talven::apply {
namespace {

struct LocalFreer {
    void operator()(LPWSTR* arguments) const { LocalFree(arguments); }
};

struct TaskMemFreer {
    void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

std::optional<std::filesystem::path> knownFolder(const KNOWNFOLDERID& id)
{
    wchar_t* found = nullptr;
    const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &found);
    const std::unique_ptr<wchar_t, TaskMemFreer> owned(found);
    if (FAILED(result) || !found)
        return std::nullopt;
    return std::filesystem::path(found);
}

std::string utf8Of(const wchar_t* text)
{
    return utf16ToUtf8Lenient(reinterpret_cast<const char16_t*>(text));
}

} // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreer> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments)
        return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> result;
    for (int i = 1; i < count; ++i)
        result.push_back(utf8Of(arguments.get()[i]));
    return result;
}

std::FILE* partStandardOutput()
{
    std::fflush(stdout);
    const int results = _dup(1);
    if (results < 0)
        return stdout;
    std::FILE* out = _fdopen(results, "w");
    if (!out || _dup2(2, 1) < 0) {
        if (out)
            std::fclose(out);
        else
            _close(results);
        return stdout;
    }
    // A plug-in with a C runtime of its own takes its standard output from
    // the process's handle when it loads.
    SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
    return out;
}

std::vector<std::filesystem::path> standardPluginFolders()
{
    std::vector<std::filesystem::path> folders;
    // The user's folder first, then the common one (C:\Program Files\Common
    // Files); either may be missing. Where the system does not know the
    // user's (Wine), it is where Windows puts it by default.
    if (std::optional<std::filesystem::path> user = knownFolder(FOLDERID_UserProgramFilesCommon))
        folders.push_back(*user / L"VST3");
    else if (std::optional<std::filesystem::path> local = knownFolder(FOLDERID_LocalAppData))
        folders.push_back(*local / L"Programs" / L"Common" / L"VST3");
    if (std::optional<std::filesystem::path> common = knownFolder(FOLDERID_ProgramFilesCommon))
        folders.push_back(*common / L"VST3");
    return folders;
}

} // namespace talven::apply
