#pragma once

#include <functional>

namespace talven {

// Runs an editor request (opening, hiding) where the platform's editor
// windows live, and waits for it: on Linux on the library's editor thread
// (inline when called there, as from the position callback), on Windows on
// the calling thread, which owns the windows it opens. On Linux the work is
// skipped when the editor thread cannot be had (stopped at unload) or the X
// display cannot be reached; an exception it throws comes out here. Any thread, no library lock held: the
// editor thread may call back into the program meanwhile.
void runEditorWork(const std::function<void()>& work);

} // namespace talven
