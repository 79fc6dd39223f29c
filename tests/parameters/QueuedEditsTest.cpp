// Edits wait in a queue for the processor's next block; a preset recalled or
// stored before that block must leave controller and processor on one value.
// The recording gain scales by 2 * gain and keeps gain in its state.
#include "ParameterTestSupport.h"
#include "TestSupport.h"

#include <cstdio>
#include <string>

namespace talven::test {
namespace {

constexpr std::uint32_t kGain = 0;

class QueuedEditsTest : public AttachedTest {
protected:
    void SetUp() override
    {
        AttachedTest::SetUp();
        stream = decodeStream();
        handle = attach(stream, "Recorder");
        ASSERT_NE(handle, 0u);
        ASSERT_TRUE(pull(stream).scaledBy(0.5f)); // the default gain, 0.25
    }
    void TearDown() override
    {
        TALVEN_ChannelRemoveDSP(0, handle);
        std::remove(file.c_str());
        AttachedTest::TearDown();
    }

    HSTREAM stream = 0;
    std::uint32_t handle = 0;
    const std::string file = "queued-edits.vstpreset";
};

TEST_F(QueuedEditsTest, ARecallSupersedesEditsQueuedBeforeIt)
{
    ASSERT_EQ(TALVEN_StorePreset(file.c_str(), 0, handle), 1); // gain 0.25
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 0.75f), 0);      // queued, no block yet
    ASSERT_EQ(TALVEN_RecallPreset(file.c_str(), handle), 1);
    EXPECT_TRUE(pull(stream).scaledBy(0.5f)); // the preset's gain, not the stale edit
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 0.25);

    // Edits made after the recall are delivered as usual.
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 0.75f), 0);
    EXPECT_TRUE(pull(stream).scaledBy(1.5f));
}

TEST_F(QueuedEditsTest, AStoreRightAfterAnEditWritesItAndKeepsBothSidesOnIt)
{
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 0.75f), 0); // queued, no block yet
    ASSERT_EQ(TALVEN_StorePreset(file.c_str(), 0, handle), 1);
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 0.75);
    EXPECT_TRUE(pull(stream).scaledBy(1.5f));

    // The file holds the edit: another instance that recalls it sounds alike.
    const HSTREAM other = decodeStream();
    const std::uint32_t second = attach(other, "Recorder");
    ASSERT_NE(second, 0u);
    ASSERT_EQ(TALVEN_RecallPreset(file.c_str(), second), 1);
    EXPECT_EQ(TALVEN_GetParam(second, kGain), 0.75);
    EXPECT_TRUE(pull(other).scaledBy(1.5f));
    TALVEN_ChannelRemoveDSP(0, second);
}

TEST_F(QueuedEditsTest, AStoreWhileBypassedKeepsEditsForTheEndOfTheBypassAndTheControllerOnThem)
{
    ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
    ASSERT_EQ(TALVEN_SetParam(handle, kGain, 0.125f), 0);
    ASSERT_EQ(TALVEN_StorePreset(file.c_str(), 0, handle), 1);
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 0.125);
    EXPECT_TRUE(pull(stream).isDry());
    ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
    EXPECT_TRUE(pull(stream).scaledBy(0.25f));
    EXPECT_EQ(TALVEN_GetParam(handle, kGain), 0.125);
}

} // namespace
} // namespace talven::test
