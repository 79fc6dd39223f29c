#include "sdk/ParameterChangeTransfer.h"
#include "sdk/ParameterChanges.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace Steinberg::Vst {
namespace {

TEST(ParameterChangeTransferTest, ARingOf2048DeliversTheFirst2047ChangesAndLosesTheRestUntilDrained)
{
    ParameterChangeTransfer transfer(2048);
    for (ParamID id = 0; id < 2100; ++id)
        transfer.addChange(id, id / 4096.0, 0);

    ParamID id = 0;
    ParamValue value = 0;
    int32 offset = -1;
    ParamID expected = 0;
    while (transfer.getNextChange(id, value, offset)) {
        ASSERT_EQ(id, expected);
        EXPECT_DOUBLE_EQ(value, expected / 4096.0);
        EXPECT_EQ(offset, 0);
        ++expected;
    }
    EXPECT_EQ(expected, 2047u);

    // Drained, it takes changes again, across the wrap of the indices.
    transfer.addChange(42, 0.5, 3);
    ASSERT_TRUE(transfer.getNextChange(id, value, offset));
    EXPECT_EQ(id, 42u);
    EXPECT_EQ(offset, 3);
    EXPECT_FALSE(transfer.getNextChange(id, value, offset));
}

TEST(ParameterChangeTransferTest, WithoutEntryStorageChangesAreIgnored)
{
    ParameterChangeTransfer transfer;
    transfer.addChange(1, 0.5, 0);
    ParamID id = 0;
    ParamValue value = 0;
    int32 offset = 0;
    EXPECT_FALSE(transfer.getNextChange(id, value, offset));
}

TEST(ParameterChangeTransferTest, TransferringLeavesTheLastValuePerParameterAtItsOffsetAndEmptiesTheRing)
{
    ParameterChangeTransfer transfer(2048);
    ParameterChanges changes(1024);
    transfer.addChange(5, 0.1, 0);
    transfer.addChange(8, 0.2, 0);
    transfer.addChange(5, 0.7, 0);
    transfer.transferChangesTo(changes);

    ASSERT_EQ(changes.getParameterCount(), 2);
    IParamValueQueue* five = changes.getParameterData(0);
    ASSERT_EQ(five->getParameterId(), 5u);
    ASSERT_EQ(five->getPointCount(), 1);
    int32 offset = -1;
    ParamValue value = 0;
    five->getPoint(0, offset, value);
    EXPECT_DOUBLE_EQ(value, 0.7);
    EXPECT_EQ(offset, 0);

    ParamID id = 0;
    EXPECT_FALSE(transfer.getNextChange(id, value, offset));
}

TEST(ParameterChangeTransferTest, RemovingChangesDropsEverythingUnread)
{
    ParameterChangeTransfer transfer(16);
    for (ParamID id = 0; id < 10; ++id)
        transfer.addChange(id, 0.0, 0);
    transfer.removeChanges();
    ParamID id = 0;
    ParamValue value = 0;
    int32 offset = 0;
    EXPECT_FALSE(transfer.getNextChange(id, value, offset));
}

// One writer and one reader on their own threads, as the controller and the
// audio thread use it. The writer never lets the ring fill, so every change
// must arrive, complete and in order.
TEST(ParameterChangeTransferTest, AConcurrentWriterAndReaderSeeEveryChangeCompleteAndInOrder)
{
    constexpr ParamID kChanges = 200000;
    ParameterChangeTransfer transfer(2048);
    std::atomic<std::int64_t> received{0};

    std::thread writer([&] {
        for (ParamID id = 0; id < kChanges; ++id) {
            while (static_cast<std::int64_t>(id) - received.load() >= 2000)
                std::this_thread::yield();
            transfer.addChange(id, id * 0.5, static_cast<int32>(id % 64));
        }
    });

    bool ordered = true;
    ParamID next = 0;
    while (next < kChanges && ordered) {
        ParamID id = 0;
        ParamValue value = 0;
        int32 offset = 0;
        if (!transfer.getNextChange(id, value, offset)) {
            std::this_thread::yield();
            continue;
        }
        ordered = id == next && value == id * 0.5 && offset == static_cast<int32>(id % 64);
        received.store(++next);
    }
    if (!ordered)
        received.store(kChanges); // let the writer finish
    writer.join();
    EXPECT_TRUE(ordered) << "first mismatch at change " << next - 1;
    EXPECT_EQ(next, kChanges);
}

} // namespace
} // namespace Steinberg::Vst
