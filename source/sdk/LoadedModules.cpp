#include "sdk/LoadedModules.h"

#include "sdk/ModuleLock.h"

#include "platform/ScopedLock.h"
#include "platform/ThreadRole.h"

#include <atomic>
#include <utility>

namespace VST3 {
namespace Hosting {
namespace {

// One loaded module and the number of Module::Ptr users holding it.
struct LoadedModule {
    std::unique_ptr<Module> module;
    long users = 0;
    LoadedModule* next = nullptr;
};

// Linked through raw pointers so that nothing here has a static destructor:
// a module may be released on some thread while the process runs its exit.
LoadedModule* loadedModules = nullptr; // guarded by moduleLock()
std::size_t loadedCount = 0;           // guarded by moduleLock()
// Set when an entry is kept with no user; lets every library call look
// without taking the module lock.
std::atomic<bool> anyParked{false};

// The last user's release runs the module's exit and unloads it, still under
// the module lock, so that no create of the same library can slip in between
// the count reaching zero and the exit. On a thread that may not unload
// (ThreadRole) the entry stays, with no user, for releaseParkedModules; a
// create meanwhile shares it again.
void releaseUser(Module* module) noexcept
{
    talven::ScopedLock guard(moduleLock());
    for (LoadedModule** link = &loadedModules; *link; link = &(*link)->next) {
        LoadedModule* entry = *link;
        if (entry->module.get() != module)
            continue;
        if (--entry->users > 0)
            return;
        if (!talven::mayUnloadModulesHere()) {
            anyParked.store(true);
            return;
        }
        std::unique_ptr<LoadedModule> last(entry);
        *link = entry->next;
        --loadedCount;
        return; // last goes here: exit point, then the library is unloaded
    }
}

// A Ptr counting as one user of the entry; the entry's count is raised
// first, so that a failing shared_ptr (which calls the deleter) balances it.
Module::Ptr userOf(LoadedModule& entry)
{
    ++entry.users;
    return Module::Ptr(entry.module.get(), releaseUser);
}

} // namespace

Module::Ptr shareLoadedModule(void* library)
{
    if (!library)
        return nullptr;
    for (LoadedModule* entry = loadedModules; entry; entry = entry->next) {
        if (entry->module->library() == library)
            return userOf(*entry);
    }
    return nullptr;
}

Module::Ptr adoptLoadedModule(std::unique_ptr<Module> module)
{
    auto entry = std::make_unique<LoadedModule>();
    entry->module = std::move(module);
    entry->next = loadedModules;
    loadedModules = entry.release();
    ++loadedCount;
    return userOf(*loadedModules);
}

void releaseParkedModules() noexcept
{
    if (!anyParked.load() || !talven::mayUnloadModulesHere())
        return;
    talven::ScopedLock guard(moduleLock());
    anyParked.store(false);
    for (LoadedModule** link = &loadedModules; *link;) {
        LoadedModule* entry = *link;
        if (entry->users > 0) {
            link = &entry->next;
            continue;
        }
        *link = entry->next;
        --loadedCount;
        delete entry; // exit point, then the library is unloaded
    }
}

std::size_t loadedModuleCount()
{
    talven::ScopedLock guard(moduleLock());
    return loadedCount;
}

} // namespace Hosting
} // namespace VST3
