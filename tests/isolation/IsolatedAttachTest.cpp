// Attachments whose plug-in runs in a process of its own: the audio and every
// handle function give what the same attachment in the program's process
// gives, and a plug-in that crashes, aborts, hangs or exits takes only its
// process down: the channel plays on dry, the status says so once, and a
// detach and a new attach work.
#include "AudioTestSupport.h"
#include "CheckedGain.h"
#include "IsolationTestSupport.h"

#include "talven.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talven {
namespace {

using test::EngineTest;
using testplugin::CheckedFault;

using test::expectNoChildProcess;
using test::setMinimumWait;
using test::waitFor;

std::uint32_t attach(HSTREAM channel, const char* plugin, bool isolated, const char* classId = nullptr)
{
    return test::attachTestPlugin(channel, plugin, isolated, classId);
}

struct StatusCalls {
    std::atomic<int> count{0};
    std::atomic<std::int32_t> last{-2};
    static void TALVEN_CALL record(std::uint32_t, std::int32_t status, void* user)
    {
        auto& calls = *static_cast<StatusCalls*>(user);
        calls.last = status;
        calls.count.fetch_add(1);
    }
};

class IsolatedAttachTest : public EngineTest {
protected:
    // Generous: a sanitizer build on a busy machine turns blocks round slowly,
    // and a block given back late would play dry.
    void SetUp() override
    {
        EngineTest::SetUp();
        setMinimumWait("20000");
    }
};

TEST_F(IsolatedAttachTest, AnIsolatedPluginProcessesTheChannelExactlyAsInTheProgramsOwnProcess)
{
    const int blocks[] = {512, 1, 333, 8192, 10000, 4096};
    for (const bool isolated : {false, true}) {
        SCOPED_TRACE(isolated ? "isolated" : "in process");
        const HSTREAM music = decodeStream(2);
        const std::uint32_t handle = attach(music, "FaultyGain", isolated);
        ASSERT_NE(handle, 0u);
        EXPECT_EQ(TALVEN_GetStatus(handle), TALVEN_STATUS_RUNNING);
        ASSERT_EQ(TALVEN_SetParam(handle, testplugin::kCheckedGainId, 0.25f), 0);
        std::int64_t first = 0;
        for (int frames : blocks) {
            const std::vector<float> in = test::signalBlock(first, 2, frames);
            const std::vector<float> out = pull(music, 2, frames);
            ASSERT_EQ(out.size(), in.size());
            // The gain ramps to 0.25 over the first block, then holds it.
            if (first > 0) {
                for (std::size_t i = 0; i < in.size(); ++i)
                    ASSERT_FLOAT_EQ(out[i], 0.5f * in[i]) << "frame " << first + static_cast<std::int64_t>(i / 2);
            }
            first += frames;
        }
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
        EXPECT_EQ(TALVEN_GetStatus(handle), -1);
        BASS_StreamFree(music);
    }
    expectNoChildProcess();
}

TEST_F(IsolatedAttachTest, EveryHandleFunctionGivesWhatTheSameAttachmentGivesInTheProgramsOwnProcess)
{
    // Each call's result as text, made on a fresh attachment of each kind.
    // The parameter callback's reports of a program change, as text.
    struct Reports {
        std::mutex mutex;
        std::vector<std::string> seen;
        static void TALVEN_CALL record(std::uint32_t, std::uint32_t id, double value, void* user)
        {
            auto& reports = *static_cast<Reports*>(user);
            char text[64];
            std::snprintf(text, sizeof text, "report %u=%.9g", id, value);
            std::lock_guard<std::mutex> lock(reports.mutex);
            reports.seen.push_back(text);
        }
        std::size_t count()
        {
            std::lock_guard<std::mutex> lock(mutex);
            return seen.size();
        }
    };
    std::size_t reportsInProcess = 0;
    auto results = [&](bool isolated) {
        std::vector<std::string> seen;
        const HSTREAM music = decodeStream(2);
        const std::uint32_t handle = attach(music, "ProgramGain", isolated);
        EXPECT_NE(handle, 0u);
        Reports reports;
        EXPECT_EQ(TALVEN_SetParamCallback(handle, Reports::record, &reports), 1);
        auto note = [&](const std::string& what, double value) {
            char text[64];
            std::snprintf(text, sizeof text, "%s=%.9g", what.c_str(), value);
            seen.push_back(text);
        };
        TALVEN_INFO info{};
        info.size = sizeof info;
        note("info", TALVEN_GetInfo(handle, &info));
        note("info.in", info.inputChannels);
        note("info.out", info.outputChannels);
        note("info.params", info.parameterCount);
        seen.push_back(std::string("info.name=") + info.plugin.name);
        const std::int32_t count = TALVEN_GetParamCount(handle);
        note("count", count);
        for (std::int32_t i = 0; i < count; ++i) {
            TALVEN_PARAMETERINFO parameter{};
            note("paraminfo", TALVEN_GetParamInfo(handle, i, &parameter));
            note("param.id", parameter.id);
            note("param.steps", parameter.stepCount);
            note("param.value", TALVEN_GetParam(handle, parameter.id));
            char text[385] = {};
            note("text", TALVEN_GetParamText(handle, parameter.id, 0.5, text, sizeof text));
            seen.push_back(std::string("text=") + text);
            char cut[3] = {};
            note("cut", TALVEN_GetParamText(handle, parameter.id, 0.5, cut, sizeof cut));
            seen.push_back(std::string("cut=") + cut);
            double read = -7;
            note("fromtext", TALVEN_GetParamValueFromText(handle, parameter.id, text, &read));
            note("read", read);
        }
        note("programs", TALVEN_GetProgramCount(handle));
        char name[385] = {};
        note("programname", TALVEN_GetProgramName(handle, 2, name, sizeof name));
        seen.push_back(std::string("name=") + name);
        note("badprogramname", TALVEN_GetProgramName(handle, 99, name, sizeof name));
        note("setprogram", TALVEN_SetProgram(handle, 3));
        pull(music, 2, 256);
        note("program", TALVEN_GetProgram(handle));
        // Reported on a thread of the library's when isolated, but before
        // the call that caused them returns, as in the program's process.
        if (!isolated)
            reportsInProcess = reports.count();
        EXPECT_EQ(TALVEN_SetParamCallback(handle, nullptr, nullptr), 1);
        {
            std::lock_guard<std::mutex> lock(reports.mutex);
            seen.insert(seen.end(), reports.seen.begin(), reports.seen.end());
        }
        note("setparam", TALVEN_SetParam(handle, 0, 0.75f));
        note("param0", TALVEN_GetParam(handle, 0));
        note("transport", TALVEN_SetTransport(handle, 90.0, 3, 4));
        note("badtransport", TALVEN_SetTransport(handle, 0.0, 3, 4));
        note("bypass", TALVEN_SetBypass(handle, 1));
        note("bypassed", TALVEN_GetBypass(handle));
        note("unbypass", TALVEN_SetBypass(handle, 0));
        const std::int32_t size = TALVEN_GetState(handle, nullptr, 0);
        note("statesize", size);
        std::vector<char> state(static_cast<std::size_t>(std::max(size, 1)));
        note("small", TALVEN_GetState(handle, state.data(), 1));
        note("state", TALVEN_GetState(handle, state.data(), size));
        note("setparam", TALVEN_SetParam(handle, 0, 0.1f));
        note("setstate", TALVEN_SetState(handle, state.data(), size));
        note("afterstate", TALVEN_GetParam(handle, 0));
        note("badstate", TALVEN_SetState(handle, "junk", 4));
        const std::string preset = std::string(isolated ? "isolated" : "inprocess") + ".vstpreset";
        note("store", TALVEN_StorePreset(preset.c_str(), 0, handle));
        note("setparam", TALVEN_SetParam(handle, 0, 0.2f));
        note("recall", TALVEN_RecallPreset(preset.c_str(), handle));
        note("afterrecall", TALVEN_GetParam(handle, 0));
        note("missing", TALVEN_RecallPreset("no such file.vstpreset", handle));
        note("sidechain", TALVEN_SetSidechain(handle, decodeStream(2), 0) != 0 && isolated ? -1 : 0);
        std::remove(preset.c_str());
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
        note("after detach", TALVEN_GetParamCount(handle));
        BASS_StreamFree(music);
        return seen;
    };
    const std::vector<std::string> inProcess = results(false);
    // Calls that work in the program's process, so that the comparison is
    // not one of failures alone.
    EXPECT_GT(reportsInProcess, 0u);
    for (const char* worked : {"info=1", "programs=5", "setprogram=1", "program=3", "state=", "store=1", "recall=1",
                               "setstate=1", "bypass=1", "bypassed=1", "text=1", "fromtext=1", "after detach=0"})
        EXPECT_TRUE(std::any_of(inProcess.begin(), inProcess.end(),
                                [&](const std::string& seen) { return seen.rfind(worked, 0) == 0; }))
            << worked;
    const std::vector<std::string> isolated = results(true);
    ASSERT_EQ(isolated.size(), inProcess.size());
    for (std::size_t i = 0; i < inProcess.size(); ++i)
        EXPECT_EQ(isolated[i], inProcess[i]);
    expectNoChildProcess();
}

struct FaultCase {
    CheckedFault fault;
    const char* name;
};

TEST_F(IsolatedAttachTest, APluginThatCrashesAbortsHangsOrExitsLeavesItsChannelPlayingDryAndSaysSoOnce)
{
    const FaultCase cases[] = {
        {CheckedFault::Crash, "crash"},
        {CheckedFault::Abort, "abort"},
        {CheckedFault::HangInProcess, "hang in process"},
        {CheckedFault::Exit, "exit"},
        {CheckedFault::HangInSetActive, "hang in setActive"},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        // A hang is only noticed by the bound: the blocks' own duration.
        setMinimumWait(c.fault == CheckedFault::HangInProcess ? "0" : "20000");
        const HSTREAM music = decodeStream(2);
        const std::uint32_t handle = attach(music, "FaultyGain", true);
        ASSERT_NE(handle, 0u);
        StatusCalls calls;
        ASSERT_EQ(TALVEN_SetStatusCallback(handle, StatusCalls::record, &calls), 1);
        pull(music, 2, 512);
        const std::int64_t processed = 512;
        ASSERT_EQ(TALVEN_SetParam(handle, testplugin::kCheckedFaultId,
                                  static_cast<float>(static_cast<int>(c.fault)) / testplugin::kCheckedFaultSteps),
                  0);
        std::int64_t first = processed;
        auto pullDry = [&] {
            const std::vector<float> out = pull(music, 2, 512);
            const bool dry = out == test::signalBlock(first, 2, 512);
            first += 512;
            return dry;
        };
        if (c.fault == CheckedFault::HangInSetActive) {
            pull(music, 2, 512); // the fault reaches the processor
            first += 512;
            EXPECT_EQ(TALVEN_SetBypass(handle, 1), 0); // hangs there: given up after its timeout
        }
        // The block that meets the fault, and every one after it, plays dry.
        ASSERT_TRUE(waitFor([&] { return pullDry() && TALVEN_GetStatus(handle) == TALVEN_STATUS_CRASHED; }));
        for (int i = 0; i < 20; ++i)
            EXPECT_TRUE(pullDry());
        ASSERT_TRUE(waitFor([&] { return calls.count.load() > 0; }));
        EXPECT_EQ(calls.last.load(), TALVEN_STATUS_CRASHED);
        // Every call fails cleanly.
        EXPECT_EQ(TALVEN_GetParamCount(handle), 0);
        EXPECT_EQ(TALVEN_SetParam(handle, 0, 0.5f), 1);
        EXPECT_EQ(TALVEN_GetState(handle, nullptr, 0), -1);
        EXPECT_EQ(TALVEN_GetProgram(handle), -1);
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(music, handle), 1);
        EXPECT_EQ(TALVEN_GetStatus(handle), -1);
        EXPECT_EQ(calls.count.load(), 1);
        expectNoChildProcess();
        // A new attach starts a new process, given the generous wait again:
        // with none, its first blocks may play dry on a busy machine.
        setMinimumWait("20000");
        const std::uint32_t again = attach(music, "FaultyGain", true);
        ASSERT_NE(again, 0u);
        pull(music, 2, 512);
        const std::vector<float> out = pull(music, 2, 512);
        EXPECT_FLOAT_EQ(out[100], 0.8f * test::signalSample(first + 512 + 50, 0));
        BASS_StreamFree(music);
        EXPECT_EQ(TALVEN_GetStatus(again), -1);
        expectNoChildProcess();
    }
}

} // namespace
} // namespace talven
