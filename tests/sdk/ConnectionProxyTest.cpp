#include "sdk/ConnectionProxy.h"

#include "platform/BlockScope.h"

#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace Steinberg::Vst {
namespace {

// A plug-in side connection point: keeps its peer as plug-ins do and
// records the messages it receives.
class FakeConnectionPoint : public IConnectionPoint {
public:
    FakeConnectionPoint() { FUNKNOWN_CTOR }
    virtual ~FakeConnectionPoint() { FUNKNOWN_DTOR }

    tresult PLUGIN_API connect(IConnectionPoint* other) SMTG_OVERRIDE
    {
        if (refuse)
            return kResultFalse;
        peer = other;
        return kResultTrue;
    }
    tresult PLUGIN_API disconnect(IConnectionPoint* other) SMTG_OVERRIDE
    {
        disconnects.push_back(other);
        peer = nullptr;
        return kResultTrue;
    }
    tresult PLUGIN_API notify(IMessage* message) SMTG_OVERRIDE
    {
        received.emplace_back(message->getMessageID());
        return kResultTrue;
    }

    tresult send(const char* id)
    {
        if (!peer)
            return kResultFalse;
        IPtr<IMessage> message = owned(new HostMessage);
        message->setMessageID(id);
        return peer->notify(message);
    }

    DECLARE_FUNKNOWN_METHODS

    IPtr<IConnectionPoint> peer;
    std::vector<std::string> received;
    std::vector<IConnectionPoint*> disconnects;
    bool refuse = false;
};

IMPLEMENT_FUNKNOWN_METHODS(FakeConnectionPoint, IConnectionPoint, IConnectionPoint::iid)

struct ConnectionProxyTest : ::testing::Test {
    IPtr<FakeConnectionPoint> component = owned(new FakeConnectionPoint);
    IPtr<FakeConnectionPoint> controller = owned(new FakeConnectionPoint);
};

TEST_F(ConnectionProxyTest, MessagesSentThroughProxiesArriveOnTheOtherSideBothWays)
{
    IPtr<ConnectionProxy> componentProxy = owned(new ConnectionProxy(component));
    IPtr<ConnectionProxy> controllerProxy = owned(new ConnectionProxy(controller));
    ASSERT_EQ(componentProxy->connect(controller), kResultTrue);
    ASSERT_EQ(controllerProxy->connect(component), kResultTrue);
    // Each side knows only its proxy, never the other side itself.
    EXPECT_EQ(component->peer.get(), componentProxy.get());
    EXPECT_EQ(controller->peer.get(), controllerProxy.get());

    EXPECT_EQ(component->send("meter"), kResultTrue);
    EXPECT_EQ(controller->send("reset"), kResultTrue);
    EXPECT_EQ(controller->received, std::vector<std::string>{"meter"});
    EXPECT_EQ(component->received, std::vector<std::string>{"reset"});

    EXPECT_TRUE(componentProxy->disconnect());
    EXPECT_TRUE(controllerProxy->disconnect());
}

TEST_F(ConnectionProxyTest, AMessageSentFromInsideABlockIsRefusedAndAnotherThreadsStillArrives)
{
    IPtr<ConnectionProxy> componentProxy = owned(new ConnectionProxy(component));
    ASSERT_EQ(componentProxy->connect(controller), kResultTrue);
    int instance = 0;
    {
        // The processor sending from its process call on the audio thread.
        const talven::BlockScope block(&instance);
        EXPECT_EQ(component->send("meter"), kResultFalse);
    }
    EXPECT_TRUE(controller->received.empty());
    std::thread other([&] { EXPECT_EQ(component->send("meter"), kResultTrue); });
    other.join();
    EXPECT_EQ(controller->received, std::vector<std::string>{"meter"});
    EXPECT_TRUE(componentProxy->disconnect());
}

TEST_F(ConnectionProxyTest, DisconnectingTellsTheSourceAndStopsForwarding)
{
    IPtr<ConnectionProxy> proxy = owned(new ConnectionProxy(component));
    ASSERT_EQ(proxy->connect(controller), kResultTrue);
    EXPECT_TRUE(proxy->disconnect());
    ASSERT_EQ(component->disconnects.size(), 1u);
    EXPECT_EQ(component->disconnects[0], proxy.get());

    IPtr<IMessage> message = owned(new HostMessage);
    message->setMessageID("late");
    EXPECT_EQ(proxy->notify(message), kResultFalse);
    EXPECT_TRUE(controller->received.empty());
    EXPECT_FALSE(proxy->disconnect()); // nothing left to cut
}

TEST_F(ConnectionProxyTest, ASecondDestinationNullOrARefusingSourceIsNotConnected)
{
    IPtr<ConnectionProxy> proxy = owned(new ConnectionProxy(component));
    EXPECT_EQ(proxy->connect(nullptr), kInvalidArgument);
    ASSERT_EQ(proxy->connect(controller), kResultTrue);
    EXPECT_EQ(proxy->connect(controller), kResultFalse);
    EXPECT_EQ(proxy->disconnect(component), kInvalidArgument); // not its destination
    proxy->disconnect();

    IPtr<FakeConnectionPoint> refusing = owned(new FakeConnectionPoint);
    refusing->refuse = true;
    IPtr<ConnectionProxy> refused = owned(new ConnectionProxy(refusing));
    EXPECT_EQ(refused->connect(controller), kResultFalse);
    IPtr<IMessage> message = owned(new HostMessage);
    message->setMessageID("none");
    EXPECT_EQ(refused->notify(message), kResultFalse);
    EXPECT_TRUE(controller->received.empty());
}

} // namespace
} // namespace Steinberg::Vst
