#include "registry/sjhash.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<sjhashAllocationGate> allocationGate{nullptr};

void* allocateZeroed(std::size_t size)
{
    sjhashAllocationGate gate = allocationGate.load(std::memory_order_relaxed);
    if (gate && !gate())
        return nullptr;
    return std::calloc(1, size);
}

// ASCII letters fold to lower case; every other byte, 0x80-0xFF included,
// maps to itself.
struct LowerTable {
    unsigned char map[256];
    LowerTable()
    {
        for (int i = 0; i < 256; ++i)
            map[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + ('a' - 'A') : i);
    }
};
const LowerTable lowerTable;

inline unsigned char lower(unsigned char c)
{
    return lowerTable.map[c];
}

std::uint32_t shiftMix(std::uint32_t x, std::uint32_t right)
{
    return right ^ (x << 8) ^ x;
}

std::int32_t intHash(std::int32_t k)
{
    // Right shift with sign fill, then the usual mix; no mask.
    std::uint32_t arithmetic = static_cast<std::uint32_t>(k >> 8);
    return static_cast<std::int32_t>(shiftMix(static_cast<std::uint32_t>(k), arithmetic));
}

std::int32_t pointerHash(const void* key)
{
    std::uint32_t x = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key));
    return static_cast<std::int32_t>(shiftMix(x, x >> 8));
}

std::int32_t stringHash(const void* key, std::int32_t length)
{
    const unsigned char* text = static_cast<const unsigned char*>(key);
    if (length <= 0)
        length = static_cast<std::int32_t>(std::strlen(reinterpret_cast<const char*>(text)));
    std::uint32_t h = 0;
    for (std::int32_t i = 0; i < length; ++i)
        h = h ^ (h << 3) ^ lower(text[i]);
    return static_cast<std::int32_t>(h & 0x7FFFFFFF);
}

std::int32_t binaryHash(const void* key, std::int32_t length)
{
    const signed char* bytes = static_cast<const signed char*>(key);
    std::uint32_t h = 0;
    for (std::int32_t i = 0; i < length; ++i)
        h = h ^ (h << 3) ^ static_cast<std::uint32_t>(static_cast<std::int32_t>(bytes[i]));
    return static_cast<std::int32_t>(h & 0x7FFFFFFF);
}

// compare(element's key, element's length, searched key, searched length);
// 0 means equal.
int compareKeys(std::uint8_t keyClass, const void* elementKey, std::int32_t elementLength, const void* key,
                std::int32_t length)
{
    switch (keyClass) {
    case SJHASH_INT:
        return static_cast<int>(static_cast<std::int64_t>(length) - elementLength);
    case SJHASH_POINTER:
        if (elementKey == key)
            return 0;
        return reinterpret_cast<std::uintptr_t>(elementKey) < reinterpret_cast<std::uintptr_t>(key) ? -1 : 1;
    case SJHASH_STRING: {
        if (elementLength != length)
            return 1;
        const unsigned char* a = static_cast<const unsigned char*>(elementKey);
        const unsigned char* b = static_cast<const unsigned char*>(key);
        for (std::int32_t i = 0; i < length; ++i) {
            if (a[i] == 0 || lower(a[i]) != lower(b[i]))
                return lower(a[i]) - lower(b[i]);
        }
        return 0;
    }
    case SJHASH_BINARY:
        if (elementLength != length)
            return 1;
        return length > 0 ? std::memcmp(elementKey, key, static_cast<std::size_t>(length)) : 0;
    default:
        return 1;
    }
}

std::uint32_t indexOf(std::int32_t hash, std::int32_t bucketCount)
{
    return static_cast<std::uint32_t>(hash) & static_cast<std::uint32_t>(bucketCount - 1);
}

// Puts element at the head of its bucket's run: before the run's first
// element, or at the front of the whole list when the bucket is empty.
void linkIntoBucket(sjhash* table, sjhashBucket* bucket, sjhashElem* element)
{
    sjhashElem* head = bucket->chain;
    if (head) {
        element->next = head;
        element->prev = head->prev;
        if (head->prev)
            head->prev->next = element;
        else
            table->first = element;
        head->prev = element;
    } else {
        element->next = table->first;
        if (table->first)
            table->first->prev = element;
        element->prev = nullptr;
        table->first = element;
    }
    bucket->count++;
    bucket->chain = element;
}

void rehash(sjhash* table, std::int32_t newSize)
{
    auto* buckets = static_cast<sjhashBucket*>(allocateZeroed(sizeof(sjhashBucket) * static_cast<std::size_t>(newSize)));
    if (!buckets)
        return;
    std::free(table->buckets);
    table->buckets = buckets;
    table->bucketCount = newSize;

    sjhashElem* element = table->first;
    table->first = nullptr;
    while (element) {
        sjhashElem* next = element->next;
        std::int32_t hash = sjhashHash(table->keyClass, element->key, element->keyLength);
        linkIntoBucket(table, &buckets[indexOf(hash, newSize)], element);
        element = next;
    }
}

} // namespace

void sjhashSetAllocationGate(sjhashAllocationGate gate)
{
    allocationGate.store(gate, std::memory_order_relaxed);
}

std::int32_t sjhashHash(std::uint8_t keyClass, const void* key, std::int32_t keyLength)
{
    switch (keyClass) {
    case SJHASH_INT:
        return intHash(keyLength);
    case SJHASH_POINTER:
        return pointerHash(key);
    case SJHASH_STRING:
        return stringHash(key, keyLength);
    case SJHASH_BINARY:
        return binaryHash(key, keyLength);
    default:
        return 0;
    }
}

void sjhashInit(sjhash* table, std::uint8_t keyClass, bool copyKey)
{
    table->keyClass = keyClass;
    table->copyKey = copyKey ? 1 : 0;
    table->count = 0;
    table->first = nullptr;
    table->bucketCount = 0;
    table->buckets = nullptr;
}

std::uint32_t sjhashBucketIndex(const sjhash* table, const void* key, std::int32_t keyLength)
{
    if (table->bucketCount == 0)
        return 0;
    return indexOf(sjhashHash(table->keyClass, key, keyLength), table->bucketCount);
}

sjhashElem* sjhashFindElementInBucket(const sjhash* table, std::uint32_t bucketIndex, const void* key,
                                      std::int32_t keyLength)
{
    if (!table->buckets)
        return nullptr;
    const sjhashBucket& bucket = table->buckets[bucketIndex];
    sjhashElem* element = bucket.chain;
    for (std::int32_t seen = 0; element && seen < bucket.count; ++seen, element = element->next) {
        if (compareKeys(table->keyClass, element->key, element->keyLength, key, keyLength) == 0)
            return element;
    }
    return nullptr;
}

void sjhashRemoveElement(sjhash* table, std::uint32_t bucketIndex, sjhashElem* element)
{
    if (element->prev)
        element->prev->next = element->next;
    else
        table->first = element->next;
    if (element->next)
        element->next->prev = element->prev;

    sjhashBucket& bucket = table->buckets[bucketIndex];
    if (bucket.chain == element)
        bucket.chain = element->next;
    if (--bucket.count <= 0)
        bucket.chain = nullptr;

    if (table->copyKey && element->key)
        std::free(const_cast<void*>(element->key));
    std::free(element);
    table->count--;
}

std::intptr_t sjhashFind(const sjhash* table, const void* key, std::int32_t keyLength)
{
    if (!table->buckets)
        return 0;
    sjhashElem* element = sjhashFindElementInBucket(table, sjhashBucketIndex(table, key, keyLength), key, keyLength);
    return element ? element->data : 0;
}

std::intptr_t sjhashInsert(sjhash* table, const void* key, std::int32_t keyLength, std::intptr_t data)
{
    const std::int32_t hash = sjhashHash(table->keyClass, key, keyLength);
    if (table->buckets) {
        const std::uint32_t index = indexOf(hash, table->bucketCount);
        if (sjhashElem* element = sjhashFindElementInBucket(table, index, key, keyLength)) {
            std::intptr_t previous = element->data;
            if (data)
                element->data = data;
            else
                sjhashRemoveElement(table, index, element);
            return previous;
        }
    }
    if (!data)
        return 0;

    auto* element = static_cast<sjhashElem*>(allocateZeroed(sizeof(sjhashElem)));
    if (!element)
        return data;
    if (table->copyKey && key) {
        void* copy = allocateZeroed(keyLength > 0 ? static_cast<std::size_t>(keyLength) : 1);
        if (!copy) {
            std::free(element);
            return data;
        }
        if (keyLength > 0)
            std::memcpy(copy, key, static_cast<std::size_t>(keyLength));
        element->key = copy;
    } else {
        element->key = key;
    }
    table->count++;
    element->keyLength = keyLength;

    if (table->bucketCount == 0) {
        rehash(table, 8);
        if (table->bucketCount == 0) {
            table->count--;
            if (table->copyKey && element->key)
                std::free(const_cast<void*>(element->key));
            std::free(element);
            return data;
        }
    }
    if (table->count > table->bucketCount)
        rehash(table, table->bucketCount * 2); // on failure the old array serves on

    linkIntoBucket(table, &table->buckets[indexOf(hash, table->bucketCount)], element);
    element->data = data;
    return 0;
}

void sjhashClear(sjhash* table)
{
    sjhashElem* element = table->first;
    while (element) {
        sjhashElem* next = element->next;
        if (table->copyKey && element->key)
            std::free(const_cast<void*>(element->key));
        std::free(element);
        element = next;
    }
    std::free(table->buckets);
    table->first = nullptr;
    table->buckets = nullptr;
    table->bucketCount = 0;
    table->count = 0;
}
