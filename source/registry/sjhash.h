#pragma once

#include <cstddef>
#include <cstdint>

// The library's chained hash table. Every element is also threaded on one
// doubly linked list, and the elements of a bucket form one contiguous run
// of that list starting at the bucket's chain, so a bucket needs no list of
// its own. Not thread-safe: each table is guarded by its owner's lock.

enum : std::uint8_t {
    SJHASH_INT = 1,     // key: a signed 32-bit integer passed as the length; pointer ignored
    SJHASH_POINTER = 2, // key: the pointer value itself; length ignored
    SJHASH_STRING = 3,  // key: characters, ASCII case-insensitive
    SJHASH_BINARY = 4,  // key: bytes
};

struct sjhashElem {
    sjhashElem* next;
    sjhashElem* prev;
    std::intptr_t data; // never 0 while the element is in the table
    const void* key;
    std::int32_t keyLength;
};

struct sjhashBucket {
    std::int32_t count;
    sjhashElem* chain; // first element of this bucket's run
};

struct sjhash {
    std::uint8_t keyClass;
    std::uint8_t copyKey;
    std::int32_t count;
    sjhashElem* first;
    std::int32_t bucketCount; // 0 or a power of two
    sjhashBucket* buckets;
};

void sjhashInit(sjhash* table, std::uint8_t keyClass, bool copyKey);

// Data stored under the key; 0 when absent or when the table has no buckets.
std::intptr_t sjhashFind(const sjhash* table, const void* key, std::int32_t keyLength);

// Adds (key absent, data non-zero), replaces (present, non-zero) or removes
// (present, zero). Returns 0 when an element was added or an absent key was
// "removed", the previous data when one was replaced or removed, and data
// itself when memory ran out and nothing was added.
std::intptr_t sjhashInsert(sjhash* table, const void* key, std::int32_t keyLength, std::intptr_t data);

// Frees every element and the bucket array; the table can be used again.
void sjhashClear(sjhash* table);

// The halves of find and removal, for callers that compute the bucket once
// and search and unlink under one lock hold.
std::uint32_t sjhashBucketIndex(const sjhash* table, const void* key, std::int32_t keyLength);
sjhashElem* sjhashFindElementInBucket(const sjhash* table, std::uint32_t bucketIndex, const void* key,
                                      std::int32_t keyLength);
void sjhashRemoveElement(sjhash* table, std::uint32_t bucketIndex, sjhashElem* element);

// The key classes' hash functions, exposed for their known values.
std::int32_t sjhashHash(std::uint8_t keyClass, const void* key, std::int32_t keyLength);

// Test seam: when set, every allocation the table makes asks this first and
// fails when it answers false. Null in production.
using sjhashAllocationGate = bool (*)();
void sjhashSetAllocationGate(sjhashAllocationGate gate);
