// Every zam-plugin (DPF's implementation of the interfaces, not the
// Steinberg SDK's): what TALVEN_GetInfo and TALVEN_GetModuleClasses report
// must be what the plug-in's own factory and buses say when asked directly,
// and its display text must read back to the value it came from.
#include "ParameterTestSupport.h"
#include "IsolatedRun.h"
#include "TestSupport.h"
#include "ZamPackages.h"

#include "host/HostContext.h"
#include "platform/DynamicLibrary.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace talven::test {
namespace {

using namespace Steinberg;

// What the plug-in says of its first audio effect, asked through its raw
// interfaces without the library's help.
struct DirectAnswer {
    std::string name, vendor, category, subCategories, version, sdkVersion;
    int classCount = 0;
    int32 inputChannels = 0, outputChannels = 0;
};

int32 mainBusChannels(Vst::IComponent& component, Vst::BusDirection direction)
{
    Vst::BusInfo info{};
    if (component.getBusCount(Vst::kAudio, direction) <= 0
        || component.getBusInfo(Vst::kAudio, direction, 0, info) != kResultOk)
        return 0;
    return info.channelCount;
}

bool askDirectly(const std::string& package, DirectAnswer& answer)
{
    const std::string stem = std::filesystem::path(package).stem().string();
#ifdef _WIN32
    const std::string library = package + "/Contents/x86_64-win/" + stem + ".vst3";
#else
    const std::string library = package + "/Contents/x86_64-linux/" + stem + ".so";
#endif
    std::string error;
    const LibraryHandle module = loadLibrary(library, error);
    if (!module)
        return false;
    using FactoryProc = IPluginFactory* (*)();
    auto getFactory = reinterpret_cast<FactoryProc>(librarySymbol(module, "GetPluginFactory"));
#ifdef _WIN32
    // Both optional on Windows.
    using EntryProc = bool (*)();
    using ExitProc = bool (*)();
    auto entryProc = reinterpret_cast<EntryProc>(librarySymbol(module, "InitDll"));
    auto exitProc = reinterpret_cast<ExitProc>(librarySymbol(module, "ExitDll"));
    auto entry = [&] { return !entryProc || entryProc(); };
    auto exit = [&] { return !exitProc || exitProc(); };
#else
    using EntryProc = bool (*)(void*);
    using ExitProc = bool (*)();
    auto entryProc = reinterpret_cast<EntryProc>(librarySymbol(module, "ModuleEntry"));
    auto exitProc = reinterpret_cast<ExitProc>(librarySymbol(module, "ModuleExit"));
    auto entry = [&] { return entryProc && exitProc && entryProc(module); };
    auto exit = [&] { return exitProc(); };
#endif
    bool found = false;
    if (getFactory && entry()) {
        if (IPluginFactory* factory = getFactory()) {
            PFactoryInfo factoryInfo{};
            factory->getFactoryInfo(&factoryInfo);
            IPluginFactory2* factory2 = nullptr;
            factory->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&factory2));
            answer.classCount = factory->countClasses();
            for (int32 i = 0; i < answer.classCount && !found && factory2; ++i) {
                PClassInfo2 info{};
                if (factory2->getClassInfo2(i, &info) != kResultOk || std::strcmp(info.category, kVstAudioEffectClass) != 0)
                    continue;
                found = true;
                answer.name = info.name;
                answer.vendor = info.vendor[0] ? info.vendor : factoryInfo.vendor;
                answer.category = info.category;
                answer.subCategories = info.subCategories;
                answer.version = info.version;
                answer.sdkVersion = info.sdkVersion;
                Vst::IComponent* component = nullptr;
                if (factory->createInstance(info.cid, Vst::IComponent::iid, reinterpret_cast<void**>(&component))
                        == kResultOk
                    && component) {
                    component->initialize(&hostApplication());
                    answer.inputChannels = mainBusChannels(*component, Vst::kInput);
                    answer.outputChannels = mainBusChannels(*component, Vst::kOutput);
                    component->terminate();
                    component->release();
                }
            }
            if (factory2)
                factory2->release();
            factory->release();
        }
        exit();
    }
    freeLibrary(module);
    return found;
}

class ZamInfoTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        TALVEN_SKIP_WITHOUT_ZAM();
    }
};

TEST_F(ZamInfoTest, EveryZamPluginIsDescribedAsItsOwnFactoryAndBusesSay)
{
    const std::vector<std::string> packages = zamPackages();
    ASSERT_EQ(packages.size(), static_cast<std::size_t>(forZamSet(17, 9)));
    for (const std::string& package : packages) {
        SCOPED_TRACE(package);
        PluginLeaksIgnored leaksIgnored(package);
        DirectAnswer direct;
        ASSERT_TRUE(askDirectly(package, direct));

        EXPECT_EQ(TALVEN_GetModuleClasses(package.c_str(), nullptr, 0), direct.classCount);
        const HSTREAM stream = decodeStream();
        const std::uint32_t handle =
            talven::test::attachForTest(stream, package.c_str(), 0, 0, 0, nullptr, "");
        ASSERT_NE(handle, 0u);
        TALVEN_INFO info{};
        info.size = sizeof info;
        ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
        EXPECT_EQ(info.plugin.name, direct.name);
        EXPECT_EQ(info.plugin.vendor, direct.vendor);
        EXPECT_EQ(info.plugin.category, direct.category);
        EXPECT_EQ(info.plugin.subCategories, direct.subCategories);
        EXPECT_EQ(info.plugin.version, direct.version);
        EXPECT_EQ(info.plugin.sdkVersion, direct.sdkVersion);
        EXPECT_EQ(info.inputChannels, direct.inputChannels);
        EXPECT_EQ(info.outputChannels, direct.outputChannels);
        EXPECT_EQ(info.hasEditor, 1); // every zam-plugin has its own GUI
        EXPECT_EQ(info.parameterCount, TALVEN_GetParamCount(handle));
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    }
}

// A stepped parameter reads back to its step; a continuous one to within
// what its text shows (DPF prints the plain value with six decimals,
// converted through float).
TEST_F(ZamInfoTest, DisplayTextReadsBackToTheValueItCameFrom)
{
    int checked = 0;
    for (const std::string& package : zamPackages()) {
        SCOPED_TRACE(package);
        PluginLeaksIgnored leaksIgnored(package);
        const HSTREAM stream = decodeStream();
        const std::uint32_t handle = talven::test::attachForTest(stream, package.c_str(), 0, 0, 0, nullptr, "");
        ASSERT_NE(handle, 0u);
        const int32_t count = TALVEN_GetParamCount(handle);
        for (int32_t index = 0; index < count; ++index) {
            TALVEN_PARAMETERINFO parameter{};
            ASSERT_EQ(TALVEN_GetParamInfo(handle, index, &parameter), 0);
            if (parameter.flags & Vst::ParameterInfo::kIsReadOnly)
                continue;
            SCOPED_TRACE(parameter.id);
            for (double value : {0.0, 0.3, 1.0}) {
                char text[128];
                ASSERT_EQ(TALVEN_GetParamText(handle, parameter.id, value, text, sizeof text), 1);
                double read = -1;
                if (TALVEN_GetParamValueFromText(handle, parameter.id, text, &read) != 1)
                    continue; // a plug-in may read back only some of its texts
                ++checked;
                const double step = parameter.stepCount > 0 ? 0.5 / parameter.stepCount : 1e-4;
                EXPECT_NEAR(read, value, step) << text;
            }
        }
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    }
    // Most of the plug-ins' parameters read their texts back.
    EXPECT_GT(checked, forZamSet(100, 50));
}

} // namespace
} // namespace talven::test
