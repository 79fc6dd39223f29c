#include "host/ComponentHandler.h"
#include "host/RestartRequests.h"
#include "sdk/ParameterChangeTransfer.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <memory>

namespace talven {
namespace {

using Steinberg::Vst::ParameterChangeTransfer;

TEST(ComponentHandlerTest, AnswersItsOwnInterfacesAndCountsReferences)
{
    Steinberg::IPtr<ComponentHandler> handler = ComponentHandler::make(nullptr);
    for (const Steinberg::FUID* iid : {&Steinberg::Vst::IComponentHandler::iid, &Steinberg::FUnknown::iid}) {
        void* object = nullptr;
        ASSERT_EQ(handler->queryInterface(iid->toTUID(), &object), Steinberg::kResultOk);
        EXPECT_EQ(object, static_cast<Steinberg::Vst::IComponentHandler*>(handler.get()));
        static_cast<Steinberg::FUnknown*>(object)->release();
    }
    void* object = &handler;
    EXPECT_EQ(handler->queryInterface(Steinberg::Vst::IComponentHandler2::iid.toTUID(), &object),
              Steinberg::kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(handler->addRef(), 2u);
    EXPECT_EQ(handler->release(), 1u);
    EXPECT_EQ(handler->beginEdit(3), Steinberg::kResultOk);
    EXPECT_EQ(handler->endEdit(3), Steinberg::kResultOk);
}

TEST(ComponentHandlerTest, EditsReachTheSharedTransferEvenAfterItsOtherOwnerLetGo)
{
    auto transfer = std::make_shared<ParameterChangeTransfer>(4);
    Steinberg::IPtr<ComponentHandler> handler = ComponentHandler::make(transfer);
    std::weak_ptr<ParameterChangeTransfer> watch = transfer;
    ParameterChangeTransfer* raw = transfer.get();
    transfer.reset(); // the instance went first; a late edit must not touch freed memory
    EXPECT_EQ(handler->performEdit(1, 0.5), Steinberg::kResultOk);
    ASSERT_FALSE(watch.expired());
    Steinberg::Vst::ParamID id = 0;
    Steinberg::Vst::ParamValue value = 0;
    Steinberg::int32 offset = -1;
    ASSERT_TRUE(raw->getNextChange(id, value, offset));
    EXPECT_EQ(id, 1u);
    EXPECT_EQ(value, 0.5);
    EXPECT_EQ(offset, 0);
    handler = nullptr;
    EXPECT_TRUE(watch.expired());

    // Without a transfer an edit is dropped and still answered with success.
    EXPECT_EQ(ComponentHandler::make(nullptr)->performEdit(1, 0.5), Steinberg::kResultOk);
}

TEST(ComponentHandlerTest, RestartRequestsAreNotedForLaterAndOthersAreNotImplemented)
{
    auto restarts = std::make_shared<RestartRequests>();
    Steinberg::IPtr<ComponentHandler> handler = ComponentHandler::make(nullptr, nullptr, restarts);
    using namespace Steinberg::Vst;
    EXPECT_EQ(handler->restartComponent(kLatencyChanged), Steinberg::kResultOk);
    EXPECT_EQ(handler->restartComponent(kIoChanged | kMidiCCAssignmentChanged), Steinberg::kResultOk);
    EXPECT_EQ(restarts->take(), kLatencyChanged | kIoChanged);
    EXPECT_EQ(handler->restartComponent(kParamValuesChanged), Steinberg::kResultOk);
    EXPECT_EQ(handler->restartComponent(kParamTitlesChanged), Steinberg::kResultOk);
    EXPECT_FALSE(restarts->any());
    EXPECT_EQ(handler->restartComponent(kMidiCCAssignmentChanged), Steinberg::kNotImplemented);
    EXPECT_EQ(handler->restartComponent(kNoteExpressionChanged | kRoutingInfoChanged), Steinberg::kNotImplemented);
    EXPECT_EQ(handler->restartComponent(0), Steinberg::kNotImplemented);
    EXPECT_EQ(handler->restartComponent(kReloadComponent), Steinberg::kResultOk);
    EXPECT_EQ(restarts->take(), kReloadComponent);
}

} // namespace
} // namespace talven
