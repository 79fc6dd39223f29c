#include "registry/Registry.h"

#include "log/TraceLog.h"
#include "platform/DynamicLibrary.h"
#include "platform/ThreadTimer.h"
#include "registry/DestroyInstance.h"
#include "registry/sjhash.h"

#include <atomic>
#include <memory>
#include <new>

namespace talven {
namespace {

constexpr std::int32_t kReleaseGraceTicks = 200;
constexpr std::uint32_t kIdlePeriodMs = 50;
constexpr Steinberg::int32 kParameterQueues = 1024;
constexpr Steinberg::int32 kTransferEntries = 2048;

// Set once `state` is destroyed. At process exit static objects are
// destroyed before the library's unload hook runs: the hook must then find
// nothing to touch rather than freed locks.
std::atomic<bool> stateGone{false};

// Process-wide state, set up in this order at load. The handle-table lock
// and the idle lock are never held together.
struct RegistryState {
    RegistryState() = default;
    RegistryState(const RegistryState&) = delete;
    RegistryState& operator=(const RegistryState&) = delete;
    ~RegistryState() { stateGone.store(true); }

    std::unique_ptr<RecursiveLock> tableLock; // handle table, counter, every record's holds
    sjhash handles{};                          // instance handle -> PluginInstance*
    std::unique_ptr<RecursiveLock> idleLock;  // deferred releases, countdown, timer id
    sjhash deferredReleases{};                 // module handle -> releases owed
    std::int32_t handleCounter = 0;
    std::int32_t releaseCountdown = 0;
    std::uint32_t idleTimerId = 0;
    // Touched only by the idle routine on the idle timer's thread; atomic so
    // that a timer restarted on another thread reads it cleanly.
    std::atomic<bool> idleBusy{false};
};

RegistryState state;

void idleTimerTick()
{
    idleDo();
}

} // namespace

void registryLoad()
{
    state.tableLock = std::make_unique<RecursiveLock>();
    sjhashInit(&state.handles, SJHASH_INT, false);
    state.idleLock = std::make_unique<RecursiveLock>();
    sjhashInit(&state.deferredReleases, SJHASH_POINTER, false);
}

void registryUnload()
{
    if (stateGone.load())
        return;
    std::uint32_t timer = 0;
    if (state.idleLock) {
        ScopedLock guard(*state.idleLock);
        timer = state.idleTimerId;
        state.idleTimerId = 0;
    }
    // Killed outside the idle lock: a tick in progress may be waiting for it.
    killThreadTimer(timer);
    state.tableLock.reset();
    sjhashClear(&state.handles);
    state.idleLock.reset();
    sjhashClear(&state.deferredReleases);
}

PluginInstance* createHandle()
{
    if (!state.tableLock)
        return nullptr;
    writeTraceLine("createHandle start");
    // On an allocation failure the unique_ptrs release whatever was made.
    std::unique_ptr<PluginInstance> record;
    try {
        record = std::make_unique<PluginInstance>();
        record->inputChanges = std::make_unique<Steinberg::Vst::ParameterChanges>(kParameterQueues);
        record->outputChanges = std::make_unique<Steinberg::Vst::ParameterChanges>(kParameterQueues);
        record->paramTransfer = std::make_unique<Steinberg::Vst::ParameterChangeTransfer>(kTransferEntries);
        writeTraceLine("malloc creation");
        writeTraceLine("EnterCriticalSection before");
        record->componentHandler = std::make_unique<ComponentHandler>(*record);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    record->holds = 1; // complete before any other thread can find it

    bool registered = false;
    {
        ScopedLock guard(*state.tableLock);
        writeTraceLine("EnterCriticalSection after");
        // The number is consumed whether or not it can be given out.
        state.handleCounter = state.handleCounter >= 0x7FFFFFFF ? 1 : state.handleCounter + 1;
        if (state.handleCounter <= 0)
            state.handleCounter = 1;
        const auto candidate = static_cast<std::int32_t>(state.handleCounter);
        writeTraceLine("sjhashFind before");
        if (!sjhashFind(&state.handles, nullptr, candidate)) {
            record->handle = static_cast<std::uint32_t>(candidate);
            // On allocation failure the table hands the data back: not registered.
            registered = sjhashInsert(&state.handles, nullptr, candidate,
                                      reinterpret_cast<std::intptr_t>(record.get())) == 0;
            if (!registered)
                record->handle = 0;
        }
        writeTraceLine("sjhashFind after");
    }
    if (!registered)
        return nullptr;
    writeTraceLine("createHandle end");
    return record.release();
}

PluginInstance* refHandle(std::uint32_t handle)
{
    if (!state.tableLock)
        return nullptr;
    ScopedLock guard(*state.tableLock);
    if (!state.handles.buckets)
        return nullptr;
    auto* record = reinterpret_cast<PluginInstance*>(
        sjhashFind(&state.handles, nullptr, static_cast<std::int32_t>(handle)));
    if (record)
        record->holds++;
    return record;
}

int unrefHandle(std::uint32_t handle)
{
    if (!state.tableLock)
        return 0;
    PluginInstance* record = nullptr;
    {
        ScopedLock guard(*state.tableLock);
        const auto key = static_cast<std::int32_t>(handle);
        const std::uint32_t bucket = sjhashBucketIndex(&state.handles, nullptr, key);
        sjhashElem* element = sjhashFindElementInBucket(&state.handles, bucket, nullptr, key);
        if (!element)
            return 0;
        record = reinterpret_cast<PluginInstance*>(element->data);
        if (--record->holds > 0)
            return 1;
        sjhashRemoveElement(&state.handles, bucket, element);
    }
    destroyInstance(record);
    return 1;
}

void noteDeferredRelease(void* moduleHandle)
{
    if (!state.idleLock)
        return;
    ScopedLock guard(*state.idleLock);
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
        if (state.idleLock) {
            ScopedLock guard(*state.idleLock);
            writeTraceLine("idleDo unload before");
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
    ScopedLock guard(*state.tableLock);
    state.handleCounter = value;
}

std::uint32_t idleTimerIdForTesting()
{
    ScopedLock guard(*state.idleLock);
    return state.idleTimerId;
}

std::int32_t releaseCountdownForTesting()
{
    ScopedLock guard(*state.idleLock);
    return state.releaseCountdown;
}

std::int32_t deferredReleaseCountForTesting(void* moduleHandle)
{
    ScopedLock guard(*state.idleLock);
    return static_cast<std::int32_t>(sjhashFind(&state.deferredReleases, moduleHandle, 0));
}

} // namespace talven
