#include "registry/Registry.h"

#include "log/TraceLog.h"
#include "platform/ThreadRole.h"
#include "registry/DeferredTeardown.h"
#include "platform/DynamicLibrary.h"
#include "platform/ScopedLock.h"
#include "platform/StaticRecursiveLock.h"
#include "platform/ThreadTimer.h"
#include "registry/sjhash.h"

#include <atomic>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace talven {
namespace {

constexpr std::int32_t kReleaseGraceTicks = 200;
constexpr std::uint32_t kIdlePeriodMs = 50;

// Process-wide state, set up in this order at load. The handle-table lock
// and the idle lock are never held together.
//
// Nothing here has a destructor, and the locks need no set-up: at exit a
// dlopen'ed library's static destructors run before its unload hook, and
// another thread (BASS's mixing thread calling the DSP, a caller still
// detaching) may reach the registry before, between and after both. The
// tables live from the load hook to the unload hook; once unloaded the
// registry hands out no record and starts no timer.
struct RegistryState {
    StaticRecursiveLock tableLock; // handle table, counter, every record's holds, handlesOpen
    sjhash handles{};              // instance handle -> HandleRecord*
    bool handlesOpen = false;      // between load and unload
    StaticRecursiveLock idleLock;  // deferred releases, countdown, timer id, releasesOpen
    sjhash deferredReleases{};     // module handle -> releases owed
    bool releasesOpen = false;     // between load and unload
    std::int32_t handleCounter = 0;
    std::int32_t releaseCountdown = 0;
    std::uint32_t idleTimerId = 0;
    // Touched only by the idle routine on the idle timer's thread; atomic so
    // that a timer restarted on another thread reads it cleanly.
    std::atomic<bool> idleBusy{false};
};

static_assert(std::is_trivially_destructible_v<RegistryState>, "the registry must outlive static destruction");

RegistryState state;

void idleTimerTick()
{
    idleDo();
}

} // namespace

void registryLoad()
{
    {
        ScopedLock guard(state.tableLock);
        if (!state.handlesOpen) {
            sjhashClear(&state.handles); // what an earlier unload left
            sjhashInit(&state.handles, SJHASH_INT, false);
            state.handlesOpen = true;
        }
    }
    ScopedLock guard(state.idleLock);
    if (!state.releasesOpen) {
        sjhashInit(&state.deferredReleases, SJHASH_POINTER, false);
        state.releasesOpen = true;
    }
}

// Records still registered are neither destroyed nor detached: their
// plug-ins may be running on other threads right now. The closed table keeps
// listing them, so that the memory they still use stays accounted for (at
// exit a leak checker runs after this hook), but hands none out any more.
void registryUnload()
{
    std::uint32_t timer = 0;
    {
        ScopedLock guard(state.idleLock);
        state.releasesOpen = false;
        timer = state.idleTimerId;
        state.idleTimerId = 0;
    }
    // Killed outside the idle lock: a tick in progress may be waiting for it.
    killThreadTimer(timer);
    {
        ScopedLock guard(state.tableLock);
        state.handlesOpen = false;
        if (state.handles.count == 0)
            sjhashClear(&state.handles);
    }
    ScopedLock guard(state.idleLock);
    sjhashClear(&state.deferredReleases);
}

void takeRegisteredCallbacksOffBass() noexcept
{
    std::vector<HandleRecord*> records;
    try {
        ScopedLock guard(state.tableLock);
        if (!state.handlesOpen)
            return;
        records.reserve(static_cast<std::size_t>(state.handles.count));
        for (const sjhashElem* element = state.handles.first; element; element = element->next) {
            auto* record = reinterpret_cast<HandleRecord*>(element->data);
            record->holds++;
            records.push_back(record);
        }
    } catch (const std::bad_alloc&) {
        // Reserved up front: nothing was held yet.
        return;
    }
    for (HandleRecord* record : records)
        record->takeCallbacksOffBass();
}

bool registerHandle(HandleRecord& record)
{
    bool registered = false;
    {
        ScopedLock guard(state.tableLock);
        // The number is consumed whether or not it can be given out.
        state.handleCounter = state.handleCounter >= 0x7FFFFFFF ? 1 : state.handleCounter + 1;
        if (state.handleCounter <= 0)
            state.handleCounter = 1;
        const auto candidate = static_cast<std::int32_t>(state.handleCounter);
        // Once unloaded nothing is registered: the table is gone for good.
        if (state.handlesOpen && !sjhashFind(&state.handles, nullptr, candidate)) {
            record.handle = static_cast<std::uint32_t>(candidate);
            // On allocation failure the table hands the data back: not registered.
            registered = sjhashInsert(&state.handles, nullptr, candidate, reinterpret_cast<std::intptr_t>(&record)) == 0;
            if (!registered)
                record.handle = 0;
        }
    }
    // Written after the lock is left, in the order of the steps they trace:
    // every other thread's registry call would wait for the file otherwise.
    writeTraceLine("EnterCriticalSection after");
    writeTraceLine("sjhashFind before");
    writeTraceLine("sjhashFind after");
    return registered;
}

HandleRecord* refHandle(std::uint32_t handle)
{
    ScopedLock guard(state.tableLock);
    if (!state.handlesOpen || !state.handles.buckets)
        return nullptr;
    auto* record = reinterpret_cast<HandleRecord*>(
        sjhashFind(&state.handles, nullptr, static_cast<std::int32_t>(handle)));
    if (record)
        record->holds++;
    return record;
}

int unrefHandle(std::uint32_t handle)
{
    HandleRecord* record = nullptr;
    {
        ScopedLock guard(state.tableLock);
        if (!state.handlesOpen)
            return 0;
        const auto key = static_cast<std::int32_t>(handle);
        const std::uint32_t bucket = sjhashBucketIndex(&state.handles, nullptr, key);
        sjhashElem* element = sjhashFindElementInBucket(&state.handles, bucket, nullptr, key);
        if (!element)
            return 0;
        record = reinterpret_cast<HandleRecord*>(element->data);
        if (--record->holds > 0)
            return 1;
        sjhashRemoveElement(&state.handles, bucket, element);
    }
    // The plug-in's termination and its module's unload never run on the
    // audio thread: the record waits for a thread that may block.
    if (AudioWorkScope::active() && deferTeardown([record] { record->destroy(); }))
        return 1;
    record->destroy();
    return 1;
}

void noteDeferredRelease(void* moduleHandle)
{
    ScopedLock guard(state.idleLock);
    if (!state.releasesOpen)
        return; // unloaded: no timer may start any more
    const std::intptr_t owed = sjhashFind(&state.deferredReleases, moduleHandle, 0);
    sjhashInsert(&state.deferredReleases, moduleHandle, 0, owed + 1);
    state.releaseCountdown = kReleaseGraceTicks;
    if (state.idleTimerId == 0)
        state.idleTimerId = startThreadTimer(kIdlePeriodMs, idleTimerTick);
}

void idleDo()
{
    writeTraceLine("idleDo start");
    if (!state.idleBusy.exchange(true)) {
        std::uint32_t timerToKill = 0;
        // Written before the lock is taken: no lock is held across the file.
        writeTraceLine("idleDo unload before");
        {
            ScopedLock guard(state.idleLock);
            if (state.deferredReleases.count > 0 && --state.releaseCountdown <= 0) {
                for (sjhashElem* e = state.deferredReleases.first; e; e = e->next) {
                    for (std::intptr_t owed = e->data; e->key && owed > 0; --owed)
                        freeLibrary(const_cast<void*>(e->key));
                }
                sjhashClear(&state.deferredReleases);
            }
            if (state.deferredReleases.count == 0 && state.idleTimerId != 0) {
                timerToKill = state.idleTimerId;
                state.idleTimerId = 0;
            }
        }
        killThreadTimer(timerToKill);
        state.idleBusy.store(false);
    }
    writeTraceLine("idleDo end");
}

void setHandleCounterForTesting(std::int32_t value)
{
    ScopedLock guard(state.tableLock);
    state.handleCounter = value;
}

std::uint32_t idleTimerIdForTesting()
{
    ScopedLock guard(state.idleLock);
    return state.idleTimerId;
}

std::int32_t releaseCountdownForTesting()
{
    ScopedLock guard(state.idleLock);
    return state.releaseCountdown;
}

std::int32_t deferredReleaseCountForTesting(void* moduleHandle)
{
    ScopedLock guard(state.idleLock);
    return static_cast<std::int32_t>(sjhashFind(&state.deferredReleases, moduleHandle, 0));
}

} // namespace talven
