#pragma once

#include <cstdint>

namespace talven {

using ThreadTimerProc = void (*)();

// A periodic timer without a window.
//
// Windows: SetTimer with no window; the procedure runs on the thread that
// started the timer, whenever that thread dispatches its messages.
// Elsewhere there is no message loop to borrow, so each timer owns a thread
// that calls the procedure every period until the timer is killed.
//
// Returns the timer's identifier, never 0 on success; 0 when it could not be
// started. Any thread.
std::uint32_t startThreadTimer(std::uint32_t periodMs, ThreadTimerProc proc);

// Stops the timer. Safe from inside the timer's own procedure; from any other
// thread it returns only after a tick in progress has finished (not on
// Windows, where ticks run on the starting thread and cannot overlap this
// call unless made from that thread). Unknown identifiers are ignored.
void killThreadTimer(std::uint32_t id);

} // namespace talven
