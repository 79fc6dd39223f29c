// Parameter calls on several threads at once: edits from the controller and
// from TALVEN_SetParam sharing the transfer, and calls racing a detach.
// Meant for the sanitizer trees (ThreadSanitizer, AddressSanitizer).
#include "ParameterTestSupport.h"
#include "TestSupport.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <thread>

namespace talven::test {
namespace {

constexpr std::uint32_t kGain = 0;

class ParameterRaceTest : public AttachedTest {
protected:
    RecordedPlugin plugin{"Recorder"};
};

// The value as the recording processor prints it.
std::string printed(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

// Thread A reports 1000 edits of distinct ids through performEdit while
// thread B sets the gain 1000 times, and this thread pulls blocks meanwhile.
// Every edit must reach the processor, and the gain it ends with must be
// the last one set.
TEST_F(ParameterRaceTest, EditsFromTheControllerAndFromSetParamOnOtherThreadsAllArrive)
{
    ASSERT_TRUE(plugin.loaded());
    const HSTREAM stream = decodeStream();
    const std::uint32_t handle = attach(stream, "Recorder");
    ASSERT_NE(handle, 0u);
    plugin.clear();

    constexpr int kEdits = 1000;
    std::atomic<int> finished{0};
    std::thread editor([&] {
        int results[3] = {};
        for (int i = 0; i < kEdits; ++i)
            plugin.controllerEdit(static_cast<unsigned>(100 + i), (i + 1) / 2048.0, results);
        ++finished;
    });
    std::thread setter([&] {
        for (int i = 1; i <= kEdits; ++i)
            TALVEN_SetParam(handle, kGain, static_cast<float>(i) / kEdits);
        ++finished;
    });
    while (finished < 2)
        pull(stream, 64);
    editor.join();
    setter.join();
    pull(stream, 64);

    std::map<std::uint32_t, std::string> lastValueOf;
    for (const std::string& call : callsStartingWith(plugin, "Processor::parameter ")) {
        const std::string rest = call.substr(std::string("Processor::parameter ").size());
        const size_t space = rest.find(' ');
        lastValueOf[static_cast<std::uint32_t>(std::stoul(rest.substr(0, space)))] = rest.substr(space + 1);
    }
    for (int i = 0; i < kEdits; ++i) {
        const auto found = lastValueOf.find(static_cast<std::uint32_t>(100 + i));
        ASSERT_NE(found, lastValueOf.end()) << "edit of id " << 100 + i << " lost";
        EXPECT_EQ(found->second, printed((i + 1) / 2048.0));
    }
    EXPECT_EQ(lastValueOf[kGain], printed(1.0));
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 1.0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
}

// Every parameter call and the bypass switch on one thread (a VST 3 edit
// controller expects one thread at a time), while audio is pulled on another
// and this thread detaches the plug-in. Nothing may crash or touch a
// released plug-in; afterwards every call answers its failure.
TEST_F(ParameterRaceTest, ParameterCallsRacingADetachFailCleanly)
{
    for (int round = 0; round < 10; ++round) {
        const HSTREAM stream = decodeStream();
        const std::uint32_t handle = attach(stream, "Recorder");
        ASSERT_NE(handle, 0u);

        std::atomic<bool> stop{false};
        std::atomic<int> calls{0};
        auto caller = [&](int seed) {
            TALVEN_PARAMETERINFO info{};
            for (int i = seed; !stop; ++i) {
                TALVEN_GetParamCount(handle);
                TALVEN_GetParamInfo(handle, i % 3, &info);
                TALVEN_SetParam(handle, static_cast<std::uint32_t>(i % 2), static_cast<float>(i % 100) / 100.0f);
                TALVEN_GetParam(handle, static_cast<std::uint32_t>(i % 2));
                if (i % 16 == 0)
                    TALVEN_SetBypass(handle, i % 32 == 0 ? 1 : 0);
                ++calls;
            }
        };
        std::thread parameters(caller, round);
        std::thread audio([&] {
            while (!stop)
                pull(stream, 128);
        });

        const int before = calls;
        EXPECT_TRUE(waitUntil([&] { return calls >= before + 20; }));
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        const int after = calls;
        EXPECT_TRUE(waitUntil([&] { return calls >= after + 20; }));
        stop = true;
        parameters.join();
        audio.join();

        EXPECT_EQ(TALVEN_GetParamCount(handle), 0);
        EXPECT_EQ(TALVEN_SetParam(handle, kGain, 0.5f), 1);
        EXPECT_EQ(TALVEN_SetBypass(handle, 1), 0);
        BASS_StreamFree(stream);
    }
}

} // namespace
} // namespace talven::test
