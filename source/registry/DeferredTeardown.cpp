#include "registry/DeferredTeardown.h"

#include "platform/ScopedLock.h"
#include "platform/StaticRecursiveLock.h"
#include "platform/ThreadRole.h"
#include "sdk/LoadedModules.h"

#include <atomic>
#include <utility>
#include <vector>

namespace talven {
namespace {

using WorkList = std::vector<std::function<void()>>;

// Nothing here has a destructor (see Registry.cpp): the list is made by the
// first deferral and freed by the run that empties it.
StaticRecursiveLock waitingLock;
WorkList* waiting = nullptr; // guarded by waitingLock
std::atomic<bool> anyWaiting{false};

} // namespace

bool deferTeardown(std::function<void()> work) noexcept
{
    try {
        ScopedLock guard(waitingLock);
        if (!waiting)
            waiting = new WorkList;
        waiting->push_back(std::move(work));
        anyWaiting.store(true);
        return true;
    } catch (...) {
        return false;
    }
}

void runDeferredTeardowns() noexcept
{
    if (!mayUnloadModulesHere())
        return;
    while (anyWaiting.load()) {
        WorkList* batch = nullptr;
        {
            ScopedLock guard(waitingLock);
            batch = std::exchange(waiting, nullptr);
            anyWaiting.store(false);
        }
        if (!batch)
            break;
        for (auto& work : *batch) {
            try {
                work();
            } catch (...) {
            }
        }
        delete batch;
    }
    VST3::Hosting::releaseParkedModules();
}

} // namespace talven
