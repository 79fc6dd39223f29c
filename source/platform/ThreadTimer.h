#pragma once

#include <cstdint>

namespace talven {

using ThreadTimerProc = void (*)();

// A periodic timer without a window.
//
// Windows: SetTimer with no window; the procedure runs on the thread that
// started the timer, whenever that thread dispatches its messages. Only that
// thread can kill such a timer, so while one runs the library keeps itself
// loaded (one more load of its own module): a FreeLibrary on another thread
// must not unmap the procedure the timer will call. The last kill gives that
// load back once the calling code has returned.
// Elsewhere there is no message loop to borrow, so each timer owns a thread
// that calls the procedure every period until the timer is killed.
//
// The timers' bookkeeping has no static destructor: it works whatever order
// the process's exit runs static destructors and the unload hook in.
//
// Returns the timer's identifier, never 0 on success; 0 when it could not be
// started. Any thread.
std::uint32_t startThreadTimer(std::uint32_t periodMs, ThreadTimerProc proc);

// Stops the timer. Safe from inside the timer's own procedure; from any other
// thread it returns only after a tick in progress has finished (not on
// Windows, where ticks run on the starting thread and cannot overlap this
// call unless made from that thread), and after the last ticks of timers
// that killed themselves earlier have returned. Unknown identifiers are
// ignored.
void killThreadTimer(std::uint32_t id);

// Stops every timer that is left and, where timers own threads, waits until
// none of those threads runs the library's code any more, including timers
// that killed themselves from their own tick. For the unload hook; any
// thread but a timer's own.
void stopAllThreadTimers();

} // namespace talven
