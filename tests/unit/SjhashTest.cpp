#include "registry/sjhash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::intptr_t value(int n)
{
    return static_cast<std::intptr_t>(n);
}

std::vector<std::int32_t> elementListKeys(const sjhash& table)
{
    std::vector<std::int32_t> keys;
    for (const sjhashElem* e = table.first; e; e = e->next)
        keys.push_back(e->keyLength);
    return keys;
}

// Walks the list both ways and checks each bucket's run is contiguous.
void expectConsistent(const sjhash& table)
{
    int length = 0;
    const sjhashElem* last = nullptr;
    for (const sjhashElem* e = table.first; e; e = e->next) {
        EXPECT_EQ(e->prev, last);
        last = e;
        ++length;
    }
    EXPECT_EQ(length, table.count);
    int inBuckets = 0;
    for (int b = 0; b < table.bucketCount; ++b) {
        const sjhashBucket& bucket = table.buckets[b];
        if (bucket.count == 0) {
            EXPECT_EQ(bucket.chain, nullptr);
            continue;
        }
        const sjhashElem* e = bucket.chain;
        for (int i = 0; i < bucket.count; ++i, e = e->next) {
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(sjhashBucketIndex(&table, e->key, e->keyLength), static_cast<std::uint32_t>(b));
        }
        inBuckets += bucket.count;
    }
    EXPECT_EQ(inBuckets, table.count);
}

struct IntTable : ::testing::Test {
    sjhash table{};
    void SetUp() override { sjhashInit(&table, SJHASH_INT, false); }
    void TearDown() override { sjhashClear(&table); }
};

TEST(SjhashHashes, IntegerKeysMixTheirBytesWithSignFill)
{
    EXPECT_EQ(sjhashHash(SJHASH_INT, nullptr, 1), 0x101);
    EXPECT_EQ(sjhashHash(SJHASH_INT, nullptr, 255), 0xFFFF);
    EXPECT_EQ(sjhashHash(SJHASH_INT, nullptr, 257), 0x10000);
    EXPECT_EQ(static_cast<std::uint32_t>(sjhashHash(SJHASH_INT, nullptr, -1)), 0xFFFFFF00u);
    for (int k = 1; k < 256; ++k)
        EXPECT_EQ(sjhashHash(SJHASH_INT, nullptr, k) & 0xFF, k);
}

TEST(SjhashHashes, StringsHashAndCompareWithoutAsciiCase)
{
    EXPECT_EQ(sjhashHash(SJHASH_STRING, "abc", 3), 6960);
    EXPECT_EQ(sjhashHash(SJHASH_STRING, "ABC", 3), 6960);
    EXPECT_EQ(sjhashHash(SJHASH_STRING, "abc", 0), 6960); // measured when no length is given
    // 0xC4 is not an ASCII letter and keeps its case
    EXPECT_NE(sjhashHash(SJHASH_STRING, "\xC4", 1), sjhashHash(SJHASH_STRING, "\xE4", 1));

    sjhash table{};
    sjhashInit(&table, SJHASH_STRING, true);
    EXPECT_EQ(sjhashInsert(&table, "abc", 3, value(7)), 0);
    EXPECT_EQ(sjhashFind(&table, "ABC", 3), value(7));
    EXPECT_EQ(sjhashFind(&table, "ab", 2), 0);
    EXPECT_EQ(sjhashInsert(&table, "AbC", 3, value(8)), value(7)); // same key: replaced
    EXPECT_EQ(table.count, 1);
    sjhashClear(&table);
}

TEST(SjhashHashes, BinaryKeysTakeBytesAsSignedValues)
{
    EXPECT_EQ(sjhashHash(SJHASH_BINARY, "abc", 3), 6960);
    const unsigned char high = 0x80;
    EXPECT_EQ(sjhashHash(SJHASH_BINARY, &high, 1), 0x7FFFFF80);

    sjhash table{};
    sjhashInit(&table, SJHASH_BINARY, true);
    EXPECT_EQ(sjhashInsert(&table, "ab\0c", 4, value(1)), 0);
    EXPECT_EQ(sjhashFind(&table, "ab\0c", 4), value(1));
    EXPECT_EQ(sjhashFind(&table, "ab\0d", 4), 0);
    EXPECT_EQ(sjhashFind(&table, "AB\0c", 4), 0); // binary keys keep their case
    sjhashClear(&table);
}

TEST(SjhashHashes, PointerKeysCompareByAddress)
{
    int a = 0, b = 0;
    sjhash table{};
    sjhashInit(&table, SJHASH_POINTER, false);
    EXPECT_EQ(sjhashInsert(&table, &a, 0, value(1)), 0);
    EXPECT_EQ(sjhashInsert(&table, &b, 0, value(2)), 0);
    EXPECT_EQ(sjhashInsert(&table, nullptr, 0, value(3)), 0); // the null pointer is a key like any other
    EXPECT_EQ(sjhashFind(&table, &a, 99), value(1));            // the length is ignored
    EXPECT_EQ(sjhashFind(&table, &b, 0), value(2));
    EXPECT_EQ(sjhashFind(&table, nullptr, 0), value(3));
    expectConsistent(table);
    sjhashClear(&table);
}

TEST_F(IntTable, KeysOfEmptyBucketsGoToTheFrontAndSharedBucketsKeepOneRun)
{
    sjhashInsert(&table, nullptr, 1, value(10));
    sjhashInsert(&table, nullptr, 2, value(20));
    sjhashInsert(&table, nullptr, 3, value(30));
    EXPECT_EQ(elementListKeys(table), (std::vector<std::int32_t>{3, 2, 1}));

    sjhashInsert(&table, nullptr, 9, value(90)); // hash 0x909 shares bucket 1 with key 1
    EXPECT_EQ(elementListKeys(table), (std::vector<std::int32_t>{3, 2, 9, 1}));
    ASSERT_EQ(table.bucketCount, 8);
    EXPECT_EQ(table.buckets[1].count, 2);
    EXPECT_EQ(table.buckets[1].chain->keyLength, 9);
    EXPECT_EQ(sjhashFind(&table, nullptr, 1), value(10));
    EXPECT_EQ(sjhashFind(&table, nullptr, 9), value(90));
    expectConsistent(table);
}

TEST_F(IntTable, SmallIntegerKeysFallIntoTheBucketOfTheirLowBits)
{
    for (int k = 1; k <= 8; ++k)
        sjhashInsert(&table, nullptr, k, value(k));
    ASSERT_EQ(table.bucketCount, 8);
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(table.buckets[k].count, 1);
        EXPECT_EQ(table.buckets[k].chain->keyLength, k);
    }
    EXPECT_EQ(table.buckets[0].chain->keyLength, 8);
}

TEST_F(IntTable, FirstInsertionMakesEightBucketsAndTheNinthDoublesThem)
{
    EXPECT_EQ(table.bucketCount, 0);
    EXPECT_EQ(sjhashFind(&table, nullptr, 1), 0);
    sjhashInsert(&table, nullptr, 1, value(1));
    EXPECT_EQ(table.bucketCount, 8);
    for (int k = 2; k <= 8; ++k)
        sjhashInsert(&table, nullptr, k, value(k));
    EXPECT_EQ(table.bucketCount, 8);
    sjhashInsert(&table, nullptr, 9, value(9));
    EXPECT_EQ(table.bucketCount, 16);
    EXPECT_EQ(table.buckets[9].count, 1);
    EXPECT_EQ(table.buckets[1].count, 1);
    for (int k = 1; k <= 9; ++k)
        EXPECT_EQ(sjhashFind(&table, nullptr, k), value(k));
    expectConsistent(table);

    for (int k = 10; k <= 1000; ++k)
        sjhashInsert(&table, nullptr, k * 7919, value(k));
    EXPECT_EQ(table.count, 9 + 991);
    EXPECT_EQ(table.bucketCount, 1024);
    expectConsistent(table);
}

TEST_F(IntTable, NullDataRemovesPresentKeysAndIgnoresAbsentOnes)
{
    EXPECT_EQ(sjhashInsert(&table, nullptr, 5, 0), 0);
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.bucketCount, 0);

    sjhashInsert(&table, nullptr, 5, value(50));
    sjhashInsert(&table, nullptr, 6, value(60));
    EXPECT_EQ(sjhashInsert(&table, nullptr, 5, value(55)), value(50)); // replace
    EXPECT_EQ(table.count, 2);
    EXPECT_EQ(sjhashInsert(&table, nullptr, 5, 0), value(55)); // remove
    EXPECT_EQ(table.count, 1);
    EXPECT_EQ(table.bucketCount, 8);
    EXPECT_EQ(table.buckets[5].count, 0);
    EXPECT_EQ(table.buckets[5].chain, nullptr);
    EXPECT_EQ(sjhashFind(&table, nullptr, 5), 0);
    EXPECT_EQ(sjhashFind(&table, nullptr, 6), value(60));
    expectConsistent(table);
}

TEST_F(IntTable, RemovingTheHeadOfABucketRunMovesTheChainOn)
{
    sjhashInsert(&table, nullptr, 1, value(1));
    sjhashInsert(&table, nullptr, 9, value(9));
    sjhashInsert(&table, nullptr, 17, value(17)); // bucket 1 holds 17, 9, 1
    EXPECT_EQ(sjhashInsert(&table, nullptr, 17, 0), value(17));
    EXPECT_EQ(table.buckets[1].chain->keyLength, 9);
    EXPECT_EQ(table.buckets[1].count, 2);
    EXPECT_EQ(sjhashInsert(&table, nullptr, 1, 0), value(1));
    EXPECT_EQ(table.buckets[1].chain->keyLength, 9);
    EXPECT_EQ(sjhashFind(&table, nullptr, 9), value(9));
    expectConsistent(table);
}

TEST_F(IntTable, ClearEmptiesTheTableForReuse)
{
    for (int k = 0; k < 20; ++k)
        sjhashInsert(&table, nullptr, k, value(k + 1));
    sjhashClear(&table);
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.bucketCount, 0);
    EXPECT_EQ(table.first, nullptr);
    EXPECT_EQ(sjhashFind(&table, nullptr, 3), 0);
    EXPECT_EQ(table.keyClass, SJHASH_INT);
    sjhashInsert(&table, nullptr, 3, value(3));
    EXPECT_EQ(table.bucketCount, 8);
}

int allowedAllocations = 0;
bool allocationGate()
{
    return allowedAllocations-- > 0;
}

struct FailingAllocations : ::testing::Test {
    void TearDown() override { sjhashSetAllocationGate(nullptr); }
};

TEST_F(FailingAllocations, AFailedFirstBucketArrayReturnsTheDataAndAddsNothing)
{
    sjhash table{};
    sjhashInit(&table, SJHASH_STRING, true);
    allowedAllocations = 2; // element and key copy, then the buckets fail
    sjhashSetAllocationGate(allocationGate);
    EXPECT_EQ(sjhashInsert(&table, "key", 3, value(4)), value(4));
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.first, nullptr);
    EXPECT_EQ(table.bucketCount, 0);

    allowedAllocations = 0; // the element itself fails
    EXPECT_EQ(sjhashInsert(&table, "key", 3, value(4)), value(4));
    allowedAllocations = 1; // the key copy fails
    EXPECT_EQ(sjhashInsert(&table, "key", 3, value(4)), value(4));
    EXPECT_EQ(table.count, 0);
    sjhashSetAllocationGate(nullptr);
    sjhashClear(&table);
}

TEST_F(FailingAllocations, AFailedGrowthStillInsertsIntoTheOldArray)
{
    sjhash table{};
    sjhashInit(&table, SJHASH_INT, false);
    for (int k = 1; k <= 8; ++k)
        sjhashInsert(&table, nullptr, k, value(k));
    allowedAllocations = 1; // the element, not the doubled array
    sjhashSetAllocationGate(allocationGate);
    EXPECT_EQ(sjhashInsert(&table, nullptr, 9, value(9)), 0);
    sjhashSetAllocationGate(nullptr);
    EXPECT_EQ(table.bucketCount, 8);
    EXPECT_EQ(table.count, 9);
    EXPECT_EQ(sjhashFind(&table, nullptr, 9), value(9));
    expectConsistent(table);
    sjhashInsert(&table, nullptr, 10, value(10)); // grows on the next insertion
    EXPECT_EQ(table.bucketCount, 16);
    expectConsistent(table);
    sjhashClear(&table);
}

} // namespace
