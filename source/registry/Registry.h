#pragma once

#include "registry/HandleRecord.h"

#include <cstdint>

namespace talven {

// Process-wide handle registry: maps instance handles to records, counts the
// holds on each record and destroys a record when its last hold goes. After a destruction an idle timer counts down a grace
// period for deferred module releases, then stops by itself.

// Load and unload of the library; the platform's load hooks call them. Both
// may be called again (tests reload the registry): load sets up what is not
// set up, unload tears down what is there. After unload no record is handed
// out or registered and no idle timer starts, whatever thread still calls.
void registryLoad();
void registryUnload();
// The unload hook's step before registryUnload: every record still
// registered takes the library's callbacks off BASS. Each keeps a hold that
// is never given back, since the records stay, as registryUnload leaves them.
void takeRegisteredCallbacksOffBass() noexcept;

// Registers a complete record (holds 1) under the next handle number and
// sets its handle: true; false when that number is still held by a live
// record or the registry is unloaded, and the number is used up either way.
// Writes the table step's trace lines ("EnterCriticalSection after",
// "sjhashFind before", "sjhashFind after") in that order, once the table lock
// is left: no lock is held across the file. Caller's thread.
bool registerHandle(HandleRecord& record);

// The record under handle with one more hold, or null. Any thread.
HandleRecord* refHandle(std::uint32_t handle);

// Releases one hold: 1 when the handle was known, 0 when not. When the last
// hold goes, the handle leaves the table and the record is destroyed before
// this returns, on the calling thread and outside the table lock; on the
// audio thread it is destroyed later instead (DeferredTeardown). Any thread.
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
