#pragma once

namespace talven::support {

// Counts the heap allocations (every form of operator new) the calling
// thread makes while counting is on. Only programs that link
// talven_allocation_counter have it: it replaces operator new and delete for
// the whole program, and counts nothing on other threads. Calling thread.
void startCountingAllocations();
// Stops counting; returns the allocations since the start.
long long stopCountingAllocations();

// True when the counting operators are the ones the program uses (a new and
// delete pair is counted).
bool allocationCounterInUse();

// The allocations body makes on the calling thread.
template <typename Body>
long long allocationsOf(Body&& body)
{
    startCountingAllocations();
    body();
    return stopCountingAllocations();
}

} // namespace talven::support
