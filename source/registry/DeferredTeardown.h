#pragma once

#include <functional>

namespace talven {

// Teardown work that may not run on the thread that owes it: a record whose
// last hold goes on the audio thread, a detach made there. It waits for the
// next library call on a thread that may block (a program's thread), or for
// the library's unload, and runs there, outside every library lock.

// Keeps work for later. False when it cannot be kept (out of memory): the
// caller then does it itself. Any thread.
bool deferTeardown(std::function<void()> work) noexcept;

// Runs the work kept so far, oldest first, and unloads the modules whose last
// user went on a thread that may not unload them; nothing on the audio thread
// or a thread that keeps modules (ThreadRole). Cheap when nothing waits. Any
// thread, no library lock held.
void runDeferredTeardowns() noexcept;

} // namespace talven
