#include "sdk/Win32Module.h"

#include "sdk/ModuleConsole.h"
#include "sdk/ModulePath.h"

#include "platform/TextConversion.h"

namespace VST3 {
namespace Hosting {
namespace {

using EntryProc = bool (PLUGIN_API*)();
using FactoryProc = Steinberg::IPluginFactory*(PLUGIN_API*)();

template <typename Proc>
Proc entryPoint(HMODULE library, const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::string systemMessage(DWORD code)
{
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                      | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : std::string();
    if (text)
        LocalFree(text);
    return message;
}

bool isDirectory(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The error code is read at once: later calls may overwrite it.
HMODULE loadLibrary(const std::string& utf8Path, DWORD& error)
{
    auto wide = talven::utf8ToWide(utf8Path);
    if (!wide) {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    HMODULE library = LoadLibraryW(wide->c_str());
    error = library ? ERROR_SUCCESS : GetLastError();
    return library;
}

} // namespace

std::unique_ptr<Module> makePlatformModule()
{
    return std::make_unique<Win32Module>();
}

Win32Module::~Win32Module()
{
    releaseFactory();
    if (!library_)
        return;
    if (auto exitDll = entryPoint<EntryProc>(library_, "ExitDll"))
        exitDll();
    FreeLibrary(library_);
}

bool Win32Module::openLibrary(const std::string& path, std::string& errorDescription)
{
    writeConsoleLine("load: start");
    if (const char* problem = modulePathProblem(path)) {
        errorDescription = problem;
        return false;
    }
    auto widePath = talven::utf8ToWide(path);
    writeConsoleLine("load: log(1)");
    return isDirectory(*widePath) ? loadAsPackage(path) : loadAsDll(path, errorDescription);
}

bool Win32Module::enter(std::string& errorDescription)
{
    auto getFactory = entryPoint<FactoryProc>(library_, "GetPluginFactory");
    if (!getFactory) {
        errorDescription = "The dll does not export the required 'GetPluginFactory' function";
        return false;
    }
    if (auto initDll = entryPoint<EntryProc>(library_, "InitDll")) {
        if (!initDll()) {
            errorDescription = "Calling 'InitDll' failed";
            return false;
        }
    }
    return adoptFactory(getFactory(), errorDescription);
}

void Win32Module::dropLibrary()
{
    if (library_)
        FreeLibrary(library_);
    library_ = nullptr;
}

bool Win32Module::loadAsPackage(const std::string& path)
{
    writeConsoleLine("loadAsPackage: start");
    // A package whose inner library is missing fails without a description.
    DWORD error = ERROR_SUCCESS;
    library_ = loadLibrary(packageLibraryPath(path), error);
    return library_ != nullptr;
}

bool Win32Module::loadAsDll(const std::string& path, std::string& errorDescription)
{
    writeConsoleLine("loadAsDll: start");
    DWORD code = ERROR_SUCCESS;
    library_ = loadLibrary(path, code);
    if (library_)
        return true;
    errorDescription = describeLoadLibraryFailure(code);
    return false;
}

std::string describeLoadLibraryFailure(DWORD code)
{
    std::string message = systemMessage(code);
    if (!message.empty())
        return "LoadLibray failed: " + message;
    return "LoadLibrary failed with error number : " + std::to_string(code);
}

} // namespace Hosting
} // namespace VST3
