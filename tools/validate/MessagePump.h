// Serving the calling thread's window messages for a while: the editor's
// window belongs to the thread that showed it, which must dispatch them.
#pragma once

#include <chrono>

namespace talven::validate {

// Dispatches the calling thread's messages for duration (Windows); elsewhere
// only waits.
void pumpMessages(std::chrono::milliseconds duration);

} // namespace talven::validate
