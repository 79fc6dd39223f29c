#pragma once
// The zam-plugins effect packages the tests use, and a guard for the ones
// that leak memory of their own.

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace talven::test {

// Where they are: natively Debian's packages; on Windows the ones
// scripts/zam-plugins built with MinGW-w64 (TALVEN_ZAM_BUILD_DIR, which a
// suite using them defines: cmake's talven_use_zam_packages).
inline std::string zamFolder()
{
#ifdef _WIN32
    return std::string(TALVEN_ZAM_BUILD_DIR) + "/windows";
#else
    return "/usr/lib/vst3";
#endif
}

inline std::string zamPackage(const std::string& name)
{
    return zamFolder() + "/" + name + ".vst3";
}

// Every "Za*.vst3" effect package there, sorted by name: 17 natively; 9 on
// Windows, where the build also holds the instruments ZamPiano and ZamSynth.
inline std::vector<std::string> zamPackages()
{
    std::vector<std::string> packages;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(zamFolder(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Za", 0) == 0 && entry.path().extension() == ".vst3" && name != "ZamPiano.vst3"
            && name != "ZamSynth.vst3")
            packages.push_back(zamFolder() + "/" + name);
    }
    std::sort(packages.begin(), packages.end());
    return packages;
}

// A figure of the native set of packages, or of the smaller Windows one.
constexpr int forZamSet(int native, int windows)
{
#ifdef _WIN32
    (void)native;
    return windows;
#else
    (void)windows;
    return native;
#endif
}

// On Windows the zam-plugins build may be missing (scripts/zam-plugins
// failed, which scripts/test reports): a test of them skips then. Natively
// Debian's packages are always installed (scripts/deps).
#ifdef _WIN32
#define TALVEN_SKIP_WITHOUT_ZAM()                                                                                  \
    if (::talven::test::zamPackages().empty())                                                                     \
    GTEST_SKIP() << "no zam-plugins build in " << ::talven::test::zamFolder()
#else
#define TALVEN_SKIP_WITHOUT_ZAM() static_cast<void>(0)
#endif

// ZamVerb and ZamHeadX2 allocate memory (their convolution's FFT buffers)
// that they never free, also after terminate and release, and so does the
// instrument ZamPiano (352 buffers of 16 KiB per instance, its model's);
// while one of them is in use on this thread the leak checker looks away,
// every other package stays fully checked.
class PluginLeaksIgnored {
public:
    explicit PluginLeaksIgnored(const std::string& package)
        : ignored_(package.find("ZamVerb") != std::string::npos || package.find("ZamHeadX2") != std::string::npos ||
                   package.find("ZamPiano") != std::string::npos)
    {
#if defined(__SANITIZE_ADDRESS__)
        if (ignored_)
            __lsan_disable();
#endif
    }
    ~PluginLeaksIgnored()
    {
#if defined(__SANITIZE_ADDRESS__)
        if (ignored_)
            __lsan_enable();
#endif
    }
    PluginLeaksIgnored(const PluginLeaksIgnored&) = delete;
    PluginLeaksIgnored& operator=(const PluginLeaksIgnored&) = delete;

private:
    bool ignored_;
};

} // namespace talven::test
