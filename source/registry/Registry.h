#pragma once

#include "registry/PluginInstance.h"

#include <cstdint>

namespace talven {

// Process-wide handle registry: maps instance handles to PluginInstance
// records, counts the holds on each record and destroys a record when its
// last hold goes. After a destruction an idle timer counts down a grace
// period for deferred module releases, then stops by itself.

// Load and unload of the library; the platform's load hooks call them. Both
// may be called again (tests reload the registry): load sets up what is not
// set up, unload tears down what is there. After unload no record is handed
// out or registered and no idle timer starts, whatever thread still calls.
void registryLoad();
void registryUnload();

// A new registered record with one hold, or null when the next handle number
// is still held by a live record. Caller's thread.
PluginInstance* createHandle();

// The record under handle with one more hold, or null. Any thread.
PluginInstance* refHandle(std::uint32_t handle);

// Releases one hold: 1 when the handle was known, 0 when not. When the last
// hold goes, the handle leaves the table and the record is destroyed before
// this returns, on the calling thread and outside the table lock. Any thread.
int unrefHandle(std::uint32_t handle);

// Destruction's deferred-release step: owes one more release of the module,
// sets the release countdown back to its full length and starts the idle
// timer on the calling thread if none runs. Any thread.
void noteDeferredRelease(void* moduleHandle);

// The idle timer's routine; runs on the thread that started the timer.
void idleDo();

// Test seams: observe and steer process-wide registry state.
void setHandleCounterForTesting(std::int32_t value);
std::uint32_t idleTimerIdForTesting();
std::int32_t releaseCountdownForTesting();
std::int32_t deferredReleaseCountForTesting(void* moduleHandle);

} // namespace talven
