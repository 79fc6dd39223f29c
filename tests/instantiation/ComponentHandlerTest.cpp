#include "host/ComponentHandler.h"
#include "registry/PluginInstance.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

namespace talven {
namespace {

TEST(ComponentHandlerTest, AnswersNoInterfaceCountsNoReferencesAndRefusesRestarts)
{
    PluginInstance instance;
    ComponentHandler handler(instance);
    for (const Steinberg::FUID* iid : {&Steinberg::Vst::IComponentHandler2::iid, &Steinberg::Vst::IComponentHandler::iid,
                                       &Steinberg::FUnknown::iid}) {
        void* object = &instance;
        EXPECT_EQ(handler.queryInterface(iid->toTUID(), &object), Steinberg::kNoInterface);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(handler.addRef(), 1000u);
    EXPECT_EQ(handler.release(), 1000u);
    EXPECT_EQ(handler.release(), 1000u); // never destroys itself
    EXPECT_EQ(handler.restartComponent(Steinberg::Vst::kLatencyChanged), Steinberg::kNotImplemented);
    EXPECT_EQ(handler.beginEdit(3), Steinberg::kResultOk);
    EXPECT_EQ(handler.endEdit(3), Steinberg::kResultOk);
}

TEST(ComponentHandlerTest, AnEditWithoutATransferIsDroppedAndStillAnswersOk)
{
    PluginInstance instance;
    ComponentHandler handler(instance);
    EXPECT_EQ(handler.performEdit(1, 0.5), Steinberg::kResultOk);
    instance.paramTransfer = std::make_unique<Steinberg::Vst::ParameterChangeTransfer>(4);
    EXPECT_EQ(handler.performEdit(1, 0.5), Steinberg::kResultOk);
    Steinberg::Vst::ParamID id = 0;
    Steinberg::Vst::ParamValue value = 0;
    Steinberg::int32 offset = -1;
    ASSERT_TRUE(instance.paramTransfer->getNextChange(id, value, offset));
    EXPECT_EQ(id, 1u);
    EXPECT_EQ(offset, 0);
}

} // namespace
} // namespace talven
