#pragma once

#include "platform/RecursiveLock.h"

#include <atomic>
#include <cstdint>

namespace talven {

// The record behind one instance handle. Callers never see it; they hold its
// handle and reach the record through refHandle/unrefHandle.
struct PluginInstance {
    std::uint32_t handle = 0; // 0 until registered
    // Cleared by the channel-freed sync without the instance lock.
    std::atomic<std::uint32_t> channel{0};
    std::atomic<std::uint32_t> dspHandle{0};
    // Module whose release is deferred at destruction. Module lifetime belongs
    // to the plug-in module object, so nothing sets it.
    void* moduleHandle = nullptr;
    RecursiveLock lock;
    std::int32_t holds = 0; // guarded by the handle-table lock
    std::uint32_t syncHandle = 0;
};

} // namespace talven
