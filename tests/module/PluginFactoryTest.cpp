#include "ModuleTestSupport.h"

#include "sdk/Module.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstring>

using VST3::Hosting::Module;

namespace talven::test {
namespace {

Module::Ptr load(const std::string& plugin)
{
    ConsoleCapture console;
    std::string error;
    Module::Ptr module = Module::create(packagePath(plugin), error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

TEST(PluginFactory, ClassInfosListTheClassesInFactoryOrderWithTheirExtras)
{
    Module::Ptr module = load("MinimalEffect");
    ASSERT_NE(module, nullptr);
    const auto& factory = module->getFactory();
    EXPECT_EQ(factory.info().vendor, "Talven Tests");
    EXPECT_EQ(factory.info().email, "tests@talven.invalid");
    EXPECT_EQ(factory.classCount(), 2u);

    auto infos = factory.classInfos();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].category(), kVstAudioEffectClass);
    EXPECT_EQ(infos[0].name(), "Talven Pass-Through");
    EXPECT_EQ(infos[0].ID(), Steinberg::FUID(0x7A1E0001, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001));
    EXPECT_EQ(infos[0].subCategoriesString(), "Fx");
    EXPECT_EQ(infos[0].version(), "1.0.0");
    EXPECT_EQ(infos[0].sdkVersion(), kVstVersionString);
    EXPECT_EQ(infos[0].classFlags(), static_cast<Steinberg::uint32>(Steinberg::Vst::ComponentFlags::kDistributable));
    EXPECT_EQ(infos[1].category(), kVstComponentControllerClass);
    EXPECT_EQ(infos[1].name(), "Talven Pass-Through Controller");
}

TEST(PluginFactory, OlderFactoriesGiveTheBasicRecord)
{
    Module::Ptr module = load("BasicFactory");
    ASSERT_NE(module, nullptr);
    auto infos = module->getFactory().classInfos();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].category(), kVstAudioEffectClass);
    EXPECT_EQ(infos[0].name(), "Talven Pass-Through");
    EXPECT_EQ(infos[0].sdkVersion(), "");
    EXPECT_TRUE(infos[0].subCategories().empty());
    EXPECT_FALSE(module->getFactory().setHostContext(nullptr));
}

TEST(PluginFactory, CreatesInstancesOfItsClassesAndNothingElse)
{
    Module::Ptr module = load("MinimalEffect");
    ASSERT_NE(module, nullptr);
    const auto& factory = module->getFactory();
    auto infos = factory.classInfos();
    ASSERT_EQ(infos.size(), 2u);
    auto component = factory.createInstance<Steinberg::Vst::IComponent>(infos[0].ID());
    EXPECT_TRUE(component);
    auto controller = factory.createInstance<Steinberg::Vst::IEditController>(infos[1].ID());
    EXPECT_TRUE(controller);
    EXPECT_FALSE(factory.createInstance<Steinberg::Vst::IComponent>(Steinberg::FUID(1, 2, 3, 4)));
    // The objects of a module go before the module.
    component = nullptr;
    controller = nullptr;
}

TEST(ClassInfo, SubCategoriesSplitAtBars)
{
    Steinberg::PClassInfo2 raw(Steinberg::FUID(1, 2, 3, 4).toTUID(), 1, "Audio Module Class", "X", 0,
                               "Fx|Delay||Stereo", "", "", "");
    VST3::Hosting::ClassInfo info(raw);
    EXPECT_EQ(info.subCategories(), (std::vector<std::string>{"Fx", "Delay", "Stereo"}));
}

TEST(ClassInfo, UnterminatedTextsAreReadOnlyToTheEndOfTheirField)
{
    Steinberg::PClassInfo raw;
    std::memset(raw.category, 'A', sizeof(raw.category));
    std::memset(raw.name, 'A', sizeof(raw.name));
    VST3::Hosting::ClassInfo info(raw);
    EXPECT_EQ(info.category(), std::string(Steinberg::PClassInfo::kCategorySize, 'A'));
    EXPECT_EQ(info.name(), std::string(Steinberg::PClassInfo::kNameSize, 'A'));
}

TEST(ClassInfo, BrokenUtf16NamesAreFlaggedNotGuessed)
{
    Steinberg::PClassInfoW raw;
    raw.name[0] = 0xD800;
    EXPECT_FALSE(VST3::Hosting::ClassInfo(raw).valid());
}

} // namespace
} // namespace talven::test
