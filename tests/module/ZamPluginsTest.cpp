#include "ModuleTestSupport.h"

#include "sdk/Module.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"

#include <gtest/gtest.h>

#include <filesystem>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using VST3::Hosting::Module;

namespace talven::test {
namespace {

// ZamVerb and ZamHeadX2 allocate memory when they are loaded that they never
// free; it is theirs, so the leak checker looks away while they load.
class PluginLoadLeaksIgnored {
public:
    PluginLoadLeaksIgnored()
    {
#if defined(__SANITIZE_ADDRESS__)
        __lsan_disable();
#endif
    }
    ~PluginLoadLeaksIgnored()
    {
#if defined(__SANITIZE_ADDRESS__)
        __lsan_enable();
#endif
    }
};

// The zam-plugins are built with DPF, not the Steinberg SDK: a second,
// independent implementation of the plug-in side.
TEST(ZamPlugins, EveryInstalledPackageLoadsAndListsWhatItsFactoryReports)
{
    const std::filesystem::path folder = "/usr/lib/vst3";
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "zam-plugins are not installed";
    int packages = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".vst3" || entry.path().filename().string().rfind("Za", 0) != 0)
            continue;
        ++packages;
        std::string error;
        Module::Ptr module;
        {
            ConsoleCapture console;
            PluginLoadLeaksIgnored ignored;
            module = Module::create(entry.path().string(), error);
            console.lines();
        }
        ASSERT_NE(module, nullptr) << entry.path() << ": " << error;

        Steinberg::IPluginFactory* raw = module->getFactory().get();
        auto infos = module->getFactory().classInfos();
        ASSERT_EQ(static_cast<Steinberg::int32>(infos.size()), raw->countClasses()) << entry.path();
        bool hasEffect = false;
        for (Steinberg::int32 i = 0; i < raw->countClasses(); ++i) {
            Steinberg::PClassInfo reported;
            ASSERT_EQ(raw->getClassInfo(i, &reported), Steinberg::kResultOk);
            const auto& info = infos[static_cast<size_t>(i)];
            EXPECT_EQ(info.ID(), Steinberg::FUID::fromTUID(reported.cid)) << entry.path();
            EXPECT_EQ(info.category(), reported.category) << entry.path();
            EXPECT_EQ(info.name(), reported.name) << entry.path();
            hasEffect = hasEffect || info.category() == kVstAudioEffectClass;
        }
        EXPECT_TRUE(hasEffect) << entry.path();
    }
    EXPECT_GE(packages, 17);
}

} // namespace
} // namespace talven::test
