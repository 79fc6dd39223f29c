// TALVEN_SetBypass around running audio: the order of the plug-in calls,
// the blocks that pass dry, refused switches and the edge cases.
#include "IsolatedRun.h"
#include "ParameterTestSupport.h"
#include "SwitchControl.h"
#include "TestSupport.h"

#include "platform/DynamicLibrary.h"
#include "instance/PluginInstance.h"
#include "registry/Registry.h"

#include "pluginterfaces/base/funknown.h"

#include <atomic>
#include <thread>

namespace talven::test {
namespace {

const std::vector<std::string> kSwitchOnCalls = {"Processor::setProcessing 0", "Component::setActive 0"};
const std::vector<std::string> kSwitchOffCalls = {"Component::setActive 1", "Processor::setProcessing 1"};

// The Switching plug-in's call log and its failure control.
class SwitchingPlugin : public RecordedPlugin {
public:
    SwitchingPlugin() : RecordedPlugin("Switching")
    {
        std::string error;
        library_ = loadLibrary(path() + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/Switching" +
#ifdef _WIN32
                                   ".vst3",
#else
                                   ".so",
#endif
                               error);
    }
    ~SwitchingPlugin() { freeLibrary(library_); }

    void failNext(const char* call, int result = Steinberg::kResultFalse) const
    {
        auto fail = reinterpret_cast<TalvenTestFailNextProc>(librarySymbol(library_, TALVEN_TEST_FAIL_NEXT));
        ASSERT_NE(fail, nullptr);
        fail(call, result);
    }
    std::vector<std::string> switches() const
    {
        std::vector<std::string> found;
        for (const std::string& name : callNames()) {
            if (name.rfind("Component::setActive", 0) == 0 || name.rfind("Processor::setProcessing", 0) == 0)
                found.push_back(name);
        }
        return found;
    }

private:
    LibraryHandle library_ = nullptr;
};

class BypassTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        ASSERT_TRUE(plugin.loaded());
        // None left over by an earlier test, or by an earlier isolated run
        // in the file that keeps it.
        plugin.failNext("");
        stream = decodeStream();
        handle = attach(stream, "Switching");
        ASSERT_NE(handle, 0u);
        plugin.clear();
    }
    void TearDown() override
    {
        TALVEN_ChannelRemoveDSP(0, handle);
        AttachedTest::TearDown();
    }

    SwitchingPlugin plugin;
    HSTREAM stream = 0;
    std::uint32_t handle = 0;
};

// The Switching plug-in refuses setProcessing on an inactive component, so
// switching back on works only in the order setActive, then setProcessing.
TEST_F(BypassTest, SwitchingOnAndOffChangesTheNextBlockAndCallsThePluginInVst3Order)
{
    EXPECT_TRUE(pull(stream).scaledBy(0.5f)); // default gain 0.25: out = in * 0.5

    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    EXPECT_EQ(plugin.switches(), kSwitchOnCalls);
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    plugin.clear();
    EXPECT_TRUE(pull(stream).isDry());
    EXPECT_TRUE(pull(stream).isDry());
    EXPECT_TRUE(callsStartingWith(plugin, "Processor::process").empty());

    ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_EQ(plugin.switches(), kSwitchOffCalls);
    EXPECT_EQ(TALVEN_GetBypass(handle), 0);
    EXPECT_TRUE(pull(stream).scaledBy(0.5f));

    const std::string trace = readTraceFile();
    EXPECT_EQ(countLines(trace, "SetByPass: start >>> ByPass=true"), 1);
    EXPECT_EQ(countLines(trace, "SetByPass: start >>> ByPass=false"), 1);
    // Isolated, the switch succeeds in talven-host, which traces nothing.
    if (!isolatedRun()) {
        EXPECT_EQ(countLines(trace, "SetByPass: succeed to bypass <<<"), 2);
    }
}

TEST_F(BypassTest, RepeatingTheCurrentStateSucceedsWithoutCallingThePlugin)
{
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    plugin.clear();
    EXPECT_EQ(TALVEN_SetBypass(handle, 1), 1);
    // Any non-zero request means "on": 2 switches nothing either.
    EXPECT_EQ(TALVEN_SetBypass(handle, 2), 1);
    EXPECT_EQ(TALVEN_SetBypass(handle, -1), 1);
    EXPECT_TRUE(plugin.switches().empty());
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    EXPECT_TRUE(pull(stream).isDry());

    ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
    plugin.clear();
    EXPECT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_TRUE(plugin.switches().empty());

    const std::string trace = readTraceFile();
    EXPECT_EQ(countLines(trace, "SetByPass: start >>> ByPass=true"), 4);
    EXPECT_EQ(countLines(trace, "SetByPass: start >>> ByPass=false"), 2);
    // Isolated, the switch succeeds in talven-host, which traces nothing.
    if (!isolatedRun()) {
        EXPECT_EQ(countLines(trace, "SetByPass: succeed to bypass <<<"), 6);
    }
}

TEST_F(BypassTest, ARefusedSwitchOnReportsFailureAndStillLeavesTheChannelDry)
{
    plugin.failNext("setProcessing 0");
    EXPECT_EQ(TALVEN_SetBypass(handle, 1), 0);
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    EXPECT_TRUE(pull(stream).isDry());
    EXPECT_EQ(countLines(readTraceFile(), "SetByPass: succeed to bypass <<<"), 0);

    plugin.clear();
    plugin.failNext("setActive 0");
    EXPECT_EQ(TALVEN_SetBypass(handle, 1), 1) << "already bypassed: nothing to switch";
    EXPECT_TRUE(plugin.switches().empty());
}

TEST_F(BypassTest, ARefusedActivationKeepsTheBypassAndALaterSwitchOffWorks)
{
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    plugin.failNext("setActive 1");
    EXPECT_EQ(TALVEN_SetBypass(handle, 0), 0);
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    EXPECT_TRUE(pull(stream).isDry());

    plugin.clear();
    EXPECT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_EQ(plugin.switches(), kSwitchOffCalls);
    EXPECT_TRUE(pull(stream).scaledBy(0.5f));
}

TEST_F(BypassTest, ARefusedProcessingSwitchDeactivatesThePluginAgainAndKeepsTheBypass)
{
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    plugin.clear();
    plugin.failNext("setProcessing 1");
    EXPECT_EQ(TALVEN_SetBypass(handle, 0), 0);
    EXPECT_EQ(plugin.switches(), (std::vector<std::string>{"Component::setActive 1",
                                                           "Processor::setProcessing 1 refused",
                                                           "Component::setActive 0"}));
    EXPECT_EQ(TALVEN_GetBypass(handle), 1);
    EXPECT_TRUE(pull(stream).isDry());
}

// The SDK's own AudioEffect answers kNotImplemented to setProcessing, and
// attach accepts that; bypass must too.
TEST_F(BypassTest, APluginThatDoesNotImplementSetProcessingCanBeBypassed)
{
    plugin.failNext("setProcessing 0", Steinberg::kNotImplemented);
    EXPECT_EQ(TALVEN_SetBypass(handle, 1), 1);
    plugin.failNext("setProcessing 1", Steinberg::kNotImplemented);
    EXPECT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_EQ(TALVEN_GetBypass(handle), 0);
}

TEST_F(BypassTest, BypassSetBeforeTheFirstBlockLeavesThatBlockDry)
{
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    EXPECT_TRUE(pull(stream).isDry());
    EXPECT_TRUE(callsStartingWith(plugin, "Processor::process").empty());
}

TEST_F(BypassTest, UnknownDetachedOrFreedInstancesCannotBeSwitched)
{
    EXPECT_EQ(TALVEN_SetBypass(0, 1), 0);
    EXPECT_EQ(TALVEN_SetBypass(handle + 1000, 1), 0);
    EXPECT_EQ(countLines(readTraceFile(), "SetByPass: start >>> ByPass=true"), 2);

    const HSTREAM freed = decodeStream();
    const std::uint32_t freedHandle = attach(freed, "Switching");
    ASSERT_NE(freedHandle, 0u);
    ASSERT_TRUE(TALVEN_ChannelFree(freed));
    EXPECT_EQ(TALVEN_SetBypass(freedHandle, 1), 0);

    const std::uint32_t detached = handle;
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    handle = 0;
    plugin.clear();
    EXPECT_EQ(TALVEN_SetBypass(detached, 1), 0);
    EXPECT_EQ(TALVEN_GetBypass(detached), 0);
    EXPECT_TRUE(plugin.switches().empty());
    EXPECT_EQ(countLines(readTraceFile(), "SetByPass: succeed to bypass <<<"), 0);
}

// setProcessing(false) and setActive(false) are only legal on an active
// component: a plug-in that the bypass or a failed activation left inactive
// is not switched off again when it goes.
TEST_F(BypassTest, APluginLeftInactiveByABypassOrAFailedActivationIsNotSwitchedOffWhenItGoes)
{
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    plugin.clear();
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    handle = 0;
    EXPECT_TRUE(plugin.switches().empty());
    EXPECT_TRUE(plugin.called("Component::terminate"));

    // Bypassed, then its channel freed: the same when the instance goes.
    const HSTREAM freed = decodeStream();
    const std::uint32_t freedHandle = attach(freed, "Switching");
    ASSERT_NE(freedHandle, 0u);
    ASSERT_EQ(TALVEN_SetBypass(freedHandle, 1), 1);
    plugin.clear();
    ASSERT_TRUE(TALVEN_ChannelFree(freed));
    EXPECT_TRUE(plugin.switches().empty());
    EXPECT_TRUE(plugin.called("Component::terminate"));

    // Refused at attach: the plug-in stays attached and inactive.
    plugin.failNext("setActive 1");
    const HSTREAM refused = decodeStream();
    const std::uint32_t refusedHandle = attach(refused, "Switching");
    ASSERT_NE(refusedHandle, 0u);
    EXPECT_TRUE(pull(refused).isDry());
    plugin.clear();
    ASSERT_EQ(TALVEN_ChannelRemoveDSP(0, refusedHandle), 1);
    EXPECT_TRUE(plugin.switches().empty());
}

// The DSP callback reads bypass before it waits for the instance lock; a
// switch-on made meanwhile must keep the deactivated plug-in from processing.
TEST_F(BypassTest, ABlockThatWaitedForTheLockDuringASwitchOnPassesDryWithoutAProcessCall)
{
    if (isolatedRun())
        GTEST_SKIP() << "holds the instance lock of a plug-in in this process; isolated, it runs in talven-host";
    PluginInstance* record = refInstance(handle);
    ASSERT_NE(record, nullptr);
    record->plugin.lock.lock(); // as a block in progress would
    removeTraceFile();
    Block block;
    std::thread puller([&] { block = pull(stream); });
    // The block has passed the bypass check once processAudio traced its start.
    EXPECT_TRUE(waitUntil([] { return countLines(readTraceFile(), "processAudio: start>>>") == 1; }));
    int switched = -1;
    std::thread switcher([&] { switched = TALVEN_SetBypass(handle, 1); });
    // The switch marks the bypass first, then waits for the block in progress.
    EXPECT_TRUE(waitUntil([&] { return record->plugin.bypass.load() == 1; }));
    record->plugin.lock.unlock();
    puller.join();
    switcher.join();
    unrefHandle(handle);

    EXPECT_EQ(switched, 1);
    EXPECT_TRUE(block.isDry());
    EXPECT_TRUE(callsStartingWith(plugin, "Processor::process").empty());
    EXPECT_EQ(plugin.switches(), kSwitchOnCalls);
}

// A playing channel: blocks are rendered on the engine's mixing thread while
// this thread switches. Every block must come out whole, either dry or
// processed, never mixed, and both kinds must be seen.
TEST_F(BypassTest, WhileAudioPlaysEveryBlockIsEitherWhollyDryOrWhollyProcessed)
{
    struct Observer {
        std::atomic<int> dry{0};
        std::atomic<int> processed{0};
        std::atomic<int> mixed{0};
        static void CALLBACK observe(HDSP, DWORD, void* buffer, DWORD length, void* user)
        {
            auto& self = *static_cast<Observer*>(user);
            const auto* samples = static_cast<const float*>(buffer);
            const DWORD count = length / sizeof(float);
            // Dry right samples are -0.25 or below; processed ones (times
            // 0.5) lie above it.
            int kind = 0; // 1 dry, 2 processed, 3 mixed
            for (DWORD i = 0; i < count; i += kChannels) {
                const float right = samples[i + 1];
                const int sampleKind = right <= -0.25f ? 1 : 2; // dry right is at most -0.25
                kind = kind == 0 ? sampleKind : (kind == sampleKind ? kind : 3);
            }
            (kind == 1 ? self.dry : kind == 2 ? self.processed : self.mixed).fetch_add(1);
        }
    } observer;

    const HSTREAM playing = playingStream();
    const std::uint32_t live = attach(playing, "Switching");
    ASSERT_NE(live, 0u);
    // Lower priority: runs after the plug-in on every block.
    ASSERT_NE(BASS_ChannelSetDSP(playing, Observer::observe, &observer, -100), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(playing, FALSE));

    for (int round = 0; round < 6; ++round) {
        const int seen = observer.dry + observer.processed;
        EXPECT_TRUE(waitUntil([&] { return observer.dry + observer.processed >= seen + 2; }));
        EXPECT_EQ(TALVEN_SetBypass(live, round % 2 == 0 ? 1 : 0), 1);
    }
    EXPECT_TRUE(waitUntil([&] { return observer.dry > 0 && observer.processed > 0; }));
    BASS_ChannelStop(playing);
    EXPECT_EQ(observer.mixed, 0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, live), 1);
}

} // namespace
} // namespace talven::test
