#include "sdk/ParameterChangeTransfer.h"
#include "sdk/ParameterChanges.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

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

// Three writers (a controller's performEdit and TALVEN_SetParam callers)
// against one reader. Each writer numbers its own changes; with room in the
// ring, every change must arrive once, complete, and in its writer's order.
TEST(ParameterChangeTransferTest, SeveralConcurrentWritersLoseNothingWhileTheRingHasRoom)
{
    constexpr int kWriters = 3;
    constexpr std::uint32_t kPerWriter = 60000;
    ParameterChangeTransfer transfer(2048);
    std::atomic<std::int64_t> received{0};
    std::atomic<std::int64_t> sent{0};

    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (std::uint32_t n = 0; n < kPerWriter; ++n) {
                // At most 3 x 600 in flight: the ring never fills.
                while (sent.load() - received.load() >= 600)
                    std::this_thread::yield();
                sent.fetch_add(1);
                const ParamID id = static_cast<ParamID>(w) << 24 | n;
                transfer.addChange(id, n / 65536.0, w);
            }
        });
    }

    std::vector<std::uint32_t> nextOf(kWriters, 0);
    bool intact = true;
    std::int64_t count = 0;
    while (count < kWriters * static_cast<std::int64_t>(kPerWriter) && intact) {
        ParamID id = 0;
        ParamValue value = 0;
        int32 offset = -1;
        if (!transfer.getNextChange(id, value, offset)) {
            std::this_thread::yield();
            continue;
        }
        const int writer = static_cast<int>(id >> 24);
        const std::uint32_t n = id & 0xFFFFFF;
        intact = writer < kWriters && offset == writer && n == nextOf[static_cast<size_t>(writer)] &&
                 value == n / 65536.0;
        if (intact)
            ++nextOf[static_cast<size_t>(writer)];
        else
            ADD_FAILURE() << "writer " << writer << " change " << n << " offset " << offset << " value " << value
                          << ", expected change " << (writer < kWriters ? nextOf[static_cast<size_t>(writer)] : 0);
        received.store(++count);
    }
    if (!intact)
        received.store(1 << 30); // let the writers finish
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_TRUE(intact) << "change " << count << " was out of order, torn or repeated";
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(nextOf[static_cast<size_t>(w)], kPerWriter) << "writer " << w;
    ParamID id = 0;
    ParamValue value = 0;
    int32 offset = 0;
    EXPECT_FALSE(transfer.getNextChange(id, value, offset));
}

// Writers racing into a ring nobody drains: exactly 2047 changes are kept,
// each complete, and none is kept twice.
TEST(ParameterChangeTransferTest, ConcurrentWritersIntoAFullRingKeepExactly2047DistinctChanges)
{
    ParameterChangeTransfer transfer(2048);
    std::vector<std::thread> writers;
    for (ParamID w = 0; w < 4; ++w) {
        writers.emplace_back([&transfer, w] {
            for (ParamID n = 0; n < 1000; ++n)
                transfer.addChange(w * 1000 + n, (w * 1000 + n) / 8192.0, 0);
        });
    }
    for (std::thread& writer : writers)
        writer.join();

    std::set<ParamID> seen;
    ParamID id = 0;
    ParamValue value = 0;
    int32 offset = 0;
    while (transfer.getNextChange(id, value, offset)) {
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " twice";
        EXPECT_EQ(value, id / 8192.0);
    }
    EXPECT_EQ(seen.size(), 2047u);
}

} // namespace
} // namespace Steinberg::Vst
