// A thousand plug-in processes crashing while audio plays: each one's
// channel plays on, a plug-in in the program's process beside them keeps
// processing, and nothing is left behind: no process, no shared memory, no
// descriptor or handle.
#include "AudioTestSupport.h"
#include "CheckedGain.h"
#include "IsolationTestSupport.h"

#include "talven.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace talven {
namespace {

using test::EngineTest;
using testplugin::CheckedFault;

// After the plug-in in the program's process: counts its processed blocks.
void CALLBACK countBlock(HDSP, DWORD, void*, DWORD, void* user)
{
    static_cast<std::atomic<long>*>(user)->fetch_add(1);
}

class IsolatedSoakTest : public EngineTest {};

TEST_F(IsolatedSoakTest, AThousandCrashingPluginProcessesLeaveNothingBehindWhileAudioPlaysOn)
{
    // A playing channel with a plug-in in the program's own process.
    const HSTREAM playing = playingStream(2);
    const std::string gain = test::testPluginPath("FaultyGain");
    const std::uint32_t beside = TALVEN_ChannelSetDSP(playing, gain.c_str(), 0, 0, 0, 0, 0, nullptr, nullptr);
    ASSERT_NE(beside, 0u);
    std::atomic<long> playedBlocks{0};
    ASSERT_NE(BASS_ChannelSetDSP(playing, countBlock, &playedBlocks, -100), 0u);

    const long handlesBefore = test::openHandles();
    const CheckedFault faults[] = {CheckedFault::Crash, CheckedFault::Abort, CheckedFault::Exit};
    const int wanted = test::stressIterations(1000);
    const auto budget = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    int crashed = 0;
    for (int i = 0; i < wanted && std::chrono::steady_clock::now() < budget; ++i) {
        const HSTREAM channel = decodeStream(2);
        TALVEN_ATTACH attach{};
        attach.size = sizeof attach;
        attach.path = gain.c_str();
        attach.flags = TALVEN_ATTACH_ISOLATED;
        const std::uint32_t handle = TALVEN_ChannelSetDSPWith(channel, &attach);
        ASSERT_NE(handle, 0u) << "attach " << i;
        pull(channel, 2, 64);
        const auto fault = faults[i % 3];
        TALVEN_SetParam(handle, testplugin::kCheckedFaultId,
                        static_cast<float>(static_cast<int>(fault)) / testplugin::kCheckedFaultSteps);
        // The channel plays on, dry, from the block that met the fault.
        for (int tries = 0; tries < 3000 && TALVEN_GetStatus(handle) != TALVEN_STATUS_CRASHED; ++tries) {
            pull(channel, 2, 64);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(TALVEN_GetStatus(handle), TALVEN_STATUS_CRASHED) << "crash " << i;
        // Every other one taken down by the channel's free alone.
        if (i % 2 == 0) {
            EXPECT_EQ(TALVEN_ChannelRemoveDSP(channel, handle), 1);
        }
        BASS_StreamFree(channel);
        ++crashed;
    }
    std::printf("%d plug-in processes crashed; the playing channel processed %ld blocks meanwhile\n", crashed,
                playedBlocks.load());
    EXPECT_GE(crashed, std::min(wanted, 50));
    EXPECT_GT(playedBlocks.load(), 0);
    EXPECT_NE(TALVEN_GetParamCount(beside), 0);
    // Nothing of the processes stays: no child, no descriptor or handle.
    EXPECT_TRUE(test::noHandlesBeyond(handlesBefore)) << test::openHandles() << " after, " << handlesBefore
                                                      << " before";
    test::expectNoChildProcess();
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(playing, beside), 1);
}

} // namespace
} // namespace talven
