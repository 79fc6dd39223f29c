#include "ModuleTestSupport.h"

#include "platform/DynamicLibrary.h"
#include "platform/TextConversion.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace talven::test {

#if defined(_WIN32)
const char* const kPlainLoadFailurePrefix = "LoadLibray failed: ";
const char* const kNoFactoryText = "The dll does not export the required 'GetPluginFactory' function";
const char* const kInitFailedText = "Calling 'InitDll' failed";
static const char* const kLibrarySuffix = ".vst3";
static const char kSeparator = '\\';
#else
const char* const kPlainLoadFailurePrefix = "dlopen failed: ";
const char* const kNoFactoryText = "The library does not export the required 'GetPluginFactory' function";
const char* const kInitFailedText = "Calling 'ModuleEntry' failed";
static const char* const kLibrarySuffix = ".so";
static const char kSeparator = '/';
#endif

std::string packagePath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + kSeparator + name + ".vst3";
}

std::string innerLibraryPath(const std::string& name)
{
    return packagePath(name) + kSeparator + "Contents" + kSeparator + TALVEN_TEST_PLUGIN_ARCH + kSeparator + name
           + kLibrarySuffix;
}

bool isLibraryLoaded(const std::string& path)
{
#if defined(_WIN32)
    auto wide = utf8ToWide(path);
    return wide && GetModuleHandleW(wide->c_str()) != nullptr;
#else
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return false;
    dlclose(library);
    return true;
#endif
}

PinnedPlugin::PinnedPlugin(const std::string& name)
{
    std::string error;
    library_ = loadLibrary(innerLibraryPath(name), error);
    EXPECT_NE(library_, nullptr) << error;
}

PinnedPlugin::~PinnedPlugin()
{
    freeLibrary(library_);
}

TalvenTestEntryCounts PinnedPlugin::counts() const
{
    TalvenTestEntryCounts counts{};
    auto read = reinterpret_cast<TalvenTestEntryCountsProc>(librarySymbol(library_, TALVEN_TEST_ENTRY_COUNTS_SYMBOL));
    EXPECT_NE(read, nullptr);
    if (read)
        read(&counts);
    return counts;
}

ConsoleCapture::ConsoleCapture()
{
    testing::internal::CaptureStdout();
}

ConsoleCapture::~ConsoleCapture()
{
    if (capturing_)
        testing::internal::GetCapturedStdout();
}

std::string ConsoleCapture::lines()
{
    capturing_ = false;
    std::string text = testing::internal::GetCapturedStdout();
    // The C runtime on Windows writes "\r\n" for a line end in text mode.
    std::string lines;
    for (char c : text)
        if (c != '\r')
            lines += c;
    return lines;
}

} // namespace talven::test
