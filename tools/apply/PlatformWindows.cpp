#include "Platform.h"

#include "platform/TextConversion.h"

#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <memory>

namespace talven::apply {
namespace {

struct LocalFreer {
    void operator()(LPWSTR* arguments) const { LocalFree(arguments); }
};

struct TaskMemFreer {
    void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

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
    // The user's folder (%LOCALAPPDATA%\Programs\Common) first, then the
    // common one (C:\Program Files\Common Files); either may be missing.
    for (const KNOWNFOLDERID& id : {FOLDERID_UserProgramFilesCommon, FOLDERID_ProgramFilesCommon}) {
        wchar_t* found = nullptr;
        const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &found);
        const std::unique_ptr<wchar_t, TaskMemFreer> owned(found);
        if (SUCCEEDED(result) && found)
            folders.push_back(std::filesystem::path(found) / L"VST3");
    }
    return folders;
}

} // namespace talven::apply
