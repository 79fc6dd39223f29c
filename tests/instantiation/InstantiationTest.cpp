#include "RecordedPlugin.h"
#include "TestSupport.h"

#include "host/HostContext.h"
#include "host/Instantiation.h"
#include "instance/Attachment.h"
#include "instance/PluginInstance.h"
#include "registry/Registry.h"
#include "sdk/ParameterChanges.h"
#include "sdk/PluginContextFactory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talven {
namespace {

using Names = std::vector<std::string>;

// Each test gets a fresh registered instance and a fresh trace file; the
// instance is destroyed at the end unless the test did it.
struct InstantiationTest : ::testing::Test {
    void SetUp() override
    {
        test::removeTraceFile();
        instance = createHandle();
        ASSERT_NE(instance, nullptr);
        handle = instance->handle;
    }
    void TearDown() override { destroy(); }

    void destroy()
    {
        if (handle != 0)
            unrefHandle(handle);
        handle = 0;
        instance = nullptr;
    }

    bool open(const test::RecordedPlugin& plugin, std::uint8_t showEditor = 0)
    {
        return openPlugin(plugin.path().c_str(), handle, showEditor, 0, 0, "title");
    }

    // What instantiatePlugin reports as its failure, with the console output.
    std::string failureOf(const std::string& path, std::string* console = nullptr)
    {
        std::string failure;
        ::testing::internal::CaptureStdout();
        const bool ok = instantiatePlugin(instance->plugin, path.c_str(), &failure);
        const std::string out = ::testing::internal::GetCapturedStdout();
        if (console)
            *console = out;
        EXPECT_FALSE(ok);
        return failure;
    }

    PluginInstance* instance = nullptr;
    std::uint32_t handle = 0;
};

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(InstantiationTest, OpeningCreatesConnectsSynchronizesAndDescribesThePlugInOnTheCallersThreadWithoutActivatingIt)
{
    test::RecordedPlugin plugin("Recorder");
    ASSERT_TRUE(plugin.loaded());
    ASSERT_TRUE(open(plugin));
    EXPECT_TRUE(instance->plugin.module);
    ASSERT_TRUE(instance->plugin.provider());

    const Names expected = {"Factory::create Processor",
                            "Component::initialize context",
                            "Component::getControllerClassId",
                            "Factory::create Controller",
                            "Controller::initialize context",
                            "Component::connect",
                            "Controller::connect",
                            "Component::getState",
                            "Controller::setComponentState",
                            "Controller::setComponentHandler handler",
                            // No view: whether there is one is asked when needed.
                            "Controller::getParameterCount",
                            "Controller::getParameterInfo 0",
                            "Controller::getParameterInfo 1"};
    EXPECT_EQ(plugin.callNames(), expected);
    const unsigned long long self = plugin.threadTag();
    for (const auto& call : plugin.calls())
        EXPECT_EQ(call.thread, self) << call.name;

    EXPECT_EQ(Steinberg::PluginContextFactory::instance().getPluginContext(), &hostApplication());
    EXPECT_EQ(test::countLines(test::readTraceFile(), "openEditor createViewAndShow true"), 0);
}

TEST_F(InstantiationTest, DestroyingTheInstanceDisconnectsThenTerminatesControllerBeforeComponent)
{
    test::RecordedPlugin plugin("Recorder");
    ASSERT_TRUE(open(plugin));
    plugin.clear();
    destroy();

    const Names names = plugin.callNames();
    const int componentDisconnect = plugin.indexOf("Component::disconnect");
    const int controllerDisconnect = plugin.indexOf("Controller::disconnect");
    const int controllerTerminate = plugin.indexOf("Controller::terminate");
    const int componentTerminate = plugin.indexOf("Component::terminate");
    ASSERT_GE(componentDisconnect, 0);
    ASSERT_GE(controllerDisconnect, 0);
    EXPECT_LT(componentDisconnect, controllerTerminate);
    EXPECT_LT(controllerDisconnect, controllerTerminate);
    EXPECT_LT(controllerTerminate, componentTerminate);
    EXPECT_EQ(names.size(), 4u);
}

TEST_F(InstantiationTest, MessagesThroughTheConnectionProxiesArriveOnTheOtherSide)
{
    test::RecordedPlugin plugin("Recorder");
    ASSERT_TRUE(open(plugin));
    EXPECT_EQ(plugin.sendMessage(true, "to-controller"), 0);
    EXPECT_EQ(plugin.sendMessage(false, "to-component"), 0);
    EXPECT_TRUE(plugin.called("Controller::notify to-controller"));
    EXPECT_TRUE(plugin.called("Component::notify to-component"));
}

TEST_F(InstantiationTest, TheFirstAudioEffectClassIsTakenWhateverComesBeforeOrAfterIt)
{
    {
        test::RecordedPlugin plugin("ControllerFirst");
        ASSERT_TRUE(open(plugin));
        EXPECT_EQ(plugin.indexOf("Factory::create Processor"), 0);
    }
    destroy();
    instance = createHandle();
    handle = instance->handle;
    test::RecordedPlugin plugin("TwoEffects");
    ASSERT_TRUE(open(plugin));
    EXPECT_TRUE(plugin.called("Factory::create Processor"));
    EXPECT_FALSE(plugin.called("Factory::create SecondProcessor"));
}

TEST_F(InstantiationTest, ACategoryDifferingOnlyInLetterCaseIsNotAnAudioEffect)
{
    test::RecordedPlugin plugin("CaseCategory");
    EXPECT_EQ(failureOf(plugin.path()), plugin.path());
    EXPECT_FALSE(plugin.called("Factory::create Processor"));
    EXPECT_FALSE(instance->plugin.provider());
}

TEST_F(InstantiationTest, AComponentThatIsItsOwnControllerServesAsBothWithoutProxies)
{
    test::RecordedPlugin plugin("SelfControlled");
    ASSERT_TRUE(open(plugin));
    EXPECT_FALSE(plugin.called("Component::connect"));
    EXPECT_TRUE(plugin.called("Controller::setComponentHandler handler"));
    EXPECT_FALSE(plugin.called("Controller::getParameterInfo 0")); // no parameters: no description asked
    plugin.clear();
    destroy();
    EXPECT_EQ(plugin.callNames(), Names{"Component::terminate"}); // terminated once
}

TEST_F(InstantiationTest, APlugInWithoutParametersIsAskedForNoDescription)
{
    test::RecordedPlugin plugin("NoParameters");
    ASSERT_TRUE(open(plugin));
    EXPECT_TRUE(plugin.called("Controller::getParameterCount"));
    EXPECT_FALSE(plugin.called("Controller::getParameterInfo 0"));
}

TEST_F(InstantiationTest, SetUpFailuresAreReportedOnTheConsoleAndUndoWhatWasMade)
{
    struct Case {
        const char* plugin;
        const char* console;
        Names teardown; // calls that must have happened after the failure
    };
    const Case cases[] = {
        {"NoController", "Component does not provide a required controller class ID [", {"Component::terminate"}},
        {"ComponentInitFails", "Failed to initialize component of Talven Failing Component\n", {"Component::terminate"}},
        {"ControllerInitFails", "Failed to initialize controller of Talven Recorder\n",
         {"Controller::terminate", "Component::terminate"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plugin);
        test::RecordedPlugin plugin(c.plugin);
        ASSERT_TRUE(plugin.loaded());
        std::string console;
        EXPECT_EQ(failureOf(plugin.path(), &console), plugin.path());
        EXPECT_TRUE(contains(console, c.console)) << console;
        EXPECT_FALSE(instance->plugin.provider());
        int last = -1;
        for (const auto& call : c.teardown) {
            const int at = plugin.indexOf(call);
            EXPECT_GT(at, last) << call;
            last = at;
        }
        EXPECT_FALSE(plugin.called("Controller::setComponentHandler handler"));
    }
}

TEST_F(InstantiationTest, APathThatNamesNoModuleFailsTheOpenStepAndKeepsNoModule)
{
    const std::string missing = test::testPluginPath("DoesNotExist") + "/nothing.so";
    const std::string failure = failureOf(missing);
    EXPECT_EQ(failure.rfind("Could not create Module for file:" + missing + "\nError: ", 0), 0u) << failure;
    EXPECT_FALSE(instance->plugin.module);

    EXPECT_FALSE(openPlugin(missing.c_str(), handle, 0, 0, 0, ""));
    EXPECT_FALSE(openPlugin(nullptr, handle, 0, 0, 0, ""));
    EXPECT_EQ(instance->holds, 1); // the open step gave its hold back
}

TEST_F(InstantiationTest, OpeningAHandleThatNamesNoInstanceFailsWithoutTouchingAnything)
{
    test::RecordedPlugin plugin("Recorder");
    EXPECT_FALSE(openPlugin(plugin.path().c_str(), handle + 1000, 0, 0, 0, ""));
    EXPECT_TRUE(plugin.callNames().empty());
    EXPECT_EQ(instance->holds, 1);
}

TEST_F(InstantiationTest, AskingForTheEditorWritesItsTraceLineOnceAfterInstantiating)
{
    test::RecordedPlugin plugin("Recorder");
    ASSERT_TRUE(open(plugin, 1));
    EXPECT_EQ(instance->holds, 1);
    EXPECT_EQ(test::countLines(test::readTraceFile(), "openEditor createViewAndShow true"), 1);
}

TEST_F(InstantiationTest, ControllerEditsReachTheTransferAndBracketingCallsAnswerOk)
{
    test::RecordedPlugin plugin("Recorder");
    ASSERT_TRUE(open(plugin));
    int results[3] = {-1, -1, -1};
    ASSERT_EQ(plugin.controllerEdit(0, 0.75, results), 0);
    EXPECT_EQ(results[0], Steinberg::kResultOk);
    EXPECT_EQ(results[1], Steinberg::kResultOk);
    EXPECT_EQ(results[2], Steinberg::kResultOk);

    Steinberg::Vst::ParamID id = 99;
    Steinberg::Vst::ParamValue value = 0;
    Steinberg::int32 offset = -1;
    ASSERT_TRUE(instance->plugin.paramTransfer->getNextChange(id, value, offset));
    EXPECT_EQ(id, 0u);
    EXPECT_DOUBLE_EQ(value, 0.75);
    EXPECT_EQ(offset, 0);
    EXPECT_FALSE(instance->plugin.paramTransfer->getNextChange(id, value, offset)); // begin/end queue nothing
}

TEST_F(InstantiationTest, EditsBeyondTheTransfersCapacityAreLostAndStillAnswerOk)
{
    test::RecordedPlugin plugin("Recorder");
    ASSERT_TRUE(open(plugin));
    int results[3] = {};
    for (int i = 0; i < 2100; ++i) {
        ASSERT_EQ(plugin.controllerEdit(1, i / 4096.0, results), 0);
        ASSERT_EQ(results[1], Steinberg::kResultOk);
    }
    Steinberg::Vst::ParameterChanges changes(1024);
    instance->plugin.paramTransfer->transferChangesTo(changes);
    ASSERT_EQ(changes.getParameterCount(), 1);
    auto* queue = changes.getParameterData(0);
    Steinberg::int32 offset = -1;
    Steinberg::Vst::ParamValue last = 0;
    queue->getPoint(queue->getPointCount() - 1, offset, last);
    EXPECT_DOUBLE_EQ(last, 2046 / 4096.0); // the 2047th edit is the last delivered
}

} // namespace
} // namespace talven
