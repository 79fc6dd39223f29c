#include "host/Instantiation.h"
#include "instance/Attachment.h"
#include "instance/PluginInstance.h"
#include "registry/Registry.h"

#include "ZamPackages.h"

#include <gtest/gtest.h>

#include <string>

namespace talven {
namespace {

using test::PluginLeaksIgnored;
using test::zamPackages;

// A second implementation of the interfaces (DPF, not the Steinberg SDK):
// every package must instantiate, connect its controller and describe every
// parameter.
TEST(ZamInstantiationTest, EveryZamPluginsPackageInstantiatesConnectsAndDescribesEveryParameter)
{
    const auto packages = zamPackages();
    ASSERT_FALSE(packages.empty()) << "zam-plugins is not installed in /usr/lib/vst3";
    for (const std::string& path : packages) {
        SCOPED_TRACE(path);
        PluginLeaksIgnored leaksIgnored(path);
        PluginInstance* instance = createHandle();
        ASSERT_NE(instance, nullptr);
        const std::uint32_t handle = instance->handle;
        ASSERT_TRUE(openPlugin(path.c_str(), handle, 0, 0, 0, ""));

        ASSERT_TRUE(instance->plugin.provider());
        Steinberg::IPtr<Steinberg::Vst::IEditController> controller =
            Steinberg::owned(instance->plugin.provider()->getController());
        Steinberg::IPtr<Steinberg::Vst::IComponent> component =
            Steinberg::owned(instance->plugin.provider()->getComponent());
        ASSERT_TRUE(controller);
        ASSERT_TRUE(component);
        const Steinberg::int32 count = controller->getParameterCount();
        EXPECT_GT(count, 0);
        for (Steinberg::int32 index = 0; index < count; ++index) {
            Steinberg::Vst::ParameterInfo info{};
            EXPECT_EQ(controller->getParameterInfo(index, info), Steinberg::kResultOk) << index;
        }
        controller = nullptr;
        component = nullptr;
        EXPECT_EQ(unrefHandle(handle), 1);
    }
}

} // namespace
} // namespace talven
