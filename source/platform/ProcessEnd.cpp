#include "platform/ProcessEnd.h"

#include <atomic>
#include <chrono>
#include <thread>

#ifndef _WIN32
#include <cxxabi.h>

// This library's own handle for the C++ runtime's exit list.
extern "C" void* __dso_handle __attribute__((visibility("hidden")));
#endif

namespace talven {
namespace {

// Constant-initialised and trivially destructible: they hold from before the
// library's constructors to after its destructors, as the exit needs.
std::atomic<bool> processEnding{false};
std::atomic<int> blocksInside{0};
// Blocks of this thread in progress: a program that ends from inside a
// callback of a block (a sync, the parameter callback) must not wait for it.
thread_local int blocksInsideHere = 0;
std::atomic<void (*)() noexcept> processEndWork{nullptr};

[[maybe_unused]] void closeGateAndWait(void*)
{
    // Sequentially consistent, as in the gate: either a block sees the flag,
    // or this sees the block's count.
    processEnding.store(true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProcessEndWaitMs);
    while (blocksInside.load() > blocksInsideHere && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (auto work = processEndWork.load())
        work();
}

} // namespace

PluginBlockGate::PluginBlockGate() noexcept
{
    blocksInside.fetch_add(1);
    open_ = !processEnding.load();
    if (open_)
        ++blocksInsideHere;
    else
        blocksInside.fetch_sub(1);
}

PluginBlockGate::~PluginBlockGate()
{
    if (!open_)
        return;
    --blocksInsideHere;
    blocksInside.fetch_sub(1);
}

void setProcessEndWork(void (*work)() noexcept) noexcept
{
    processEndWork.store(work);
}

void closeGateBeforeLibrariesEnd() noexcept
{
#ifndef _WIN32
    // Exit handlers run in the reverse order of their registration, so one
    // registered now runs before the destructors of the static objects the
    // libraries loaded until now registered, and before every library's
    // finalizers. Registered as this library's own (its DSO handle), it
    // runs when this library is unloaded instead, where closing the gate is
    // just as right; a plain atexit may lose that tie (ThreadSanitizer's
    // does) and call into the unloaded library at exit.
    abi::__cxa_atexit(closeGateAndWait, nullptr, &__dso_handle);
#endif
}

} // namespace talven
