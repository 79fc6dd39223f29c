#include "sdk/ParameterChanges.h"

#include <gtest/gtest.h>

namespace Steinberg::Vst {
namespace {

TEST(ParameterChangesTest, AnIdAlreadyInUseGetsItsOwnQueueBackAndUnusedQueuesAreTakenInOrder)
{
    ParameterChanges changes(1024);
    int32 first = -1;
    int32 second = -1;
    int32 again = -1;
    IParamValueQueue* a = changes.addParameterData(7, first);
    IParamValueQueue* b = changes.addParameterData(9, second);
    IParamValueQueue* a2 = changes.addParameterData(7, again);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(again, 0);
    EXPECT_EQ(a, a2);
    EXPECT_NE(a, b);
    EXPECT_EQ(changes.getParameterCount(), 2);
    EXPECT_EQ(changes.getParameterData(1), b);
    EXPECT_EQ(changes.getParameterData(2), nullptr);
    EXPECT_EQ(changes.getParameterData(-1), nullptr);
    EXPECT_EQ(a->getParameterId(), 7u);
}

TEST(ParameterChangesTest, ClearingMarksEveryQueueUnusedAndTheNextBlockReusesThemEmpty)
{
    ParameterChanges changes(1024);
    int32 index = 0;
    IParamValueQueue* queue = changes.addParameterData(3, index);
    queue->addPoint(0, 0.25, index);
    changes.clearQueue();
    EXPECT_EQ(changes.getParameterCount(), 0);
    EXPECT_EQ(changes.getParameterData(0), nullptr);

    IParamValueQueue* reused = changes.addParameterData(11, index);
    EXPECT_EQ(reused, queue); // same object, no new allocation
    EXPECT_EQ(reused->getParameterId(), 11u);
    EXPECT_EQ(reused->getPointCount(), 0);
    EXPECT_EQ(changes.getQueueCapacity(), 1024);
}

TEST(ParameterChangesTest, QueuesAreMadeInAdvanceAndMoreOnlyBeyondThem)
{
    ParameterChanges changes(1024);
    EXPECT_EQ(changes.getQueueCapacity(), 1024);
    int32 index = 0;
    for (ParamID id = 0; id < 1024; ++id)
        ASSERT_NE(changes.addParameterData(id, index), nullptr);
    EXPECT_EQ(changes.getQueueCapacity(), 1024);
    IParamValueQueue* extra = changes.addParameterData(5000, index);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(index, 1024);
    EXPECT_EQ(changes.getQueueCapacity(), 1025);
    EXPECT_EQ(changes.getParameterCount(), 1025);

    changes.setMaxParameters(10); // never shrinks
    EXPECT_EQ(changes.getQueueCapacity(), 1025);
}

TEST(ParameterChangesTest, PointsStaySortedByOffsetAndAPointAtAnExistingOffsetTakesTheNewValue)
{
    ParameterChanges changes(1);
    int32 index = 0;
    IParamValueQueue* queue = changes.addParameterData(1, index);
    queue->addPoint(64, 0.5, index);
    EXPECT_EQ(index, 0);
    queue->addPoint(0, 0.1, index);
    EXPECT_EQ(index, 0);
    queue->addPoint(32, 0.3, index);
    EXPECT_EQ(index, 1);
    queue->addPoint(0, 0.9, index);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(queue->getPointCount(), 3);

    const int32 offsets[] = {0, 32, 64};
    const double values[] = {0.9, 0.3, 0.5};
    for (int32 i = 0; i < 3; ++i) {
        int32 offset = -1;
        ParamValue value = -1;
        ASSERT_EQ(queue->getPoint(i, offset, value), kResultTrue);
        EXPECT_EQ(offset, offsets[i]);
        EXPECT_DOUBLE_EQ(value, values[i]);
    }
    int32 offset = 0;
    ParamValue value = 0;
    EXPECT_EQ(queue->getPoint(3, offset, value), kResultFalse);
}

} // namespace
} // namespace Steinberg::Vst
