// The block thread of the plug-in's process stands in for the program's
// audio thread, which waits for it: it asks for the priority such a thread
// has where the system grants it (real-time scheduling needs a privilege on
// Linux; without it the thread runs as it is).
#pragma once

namespace talven::host {

// Block thread, before its first block.
void raiseBlockThreadPriority();

} // namespace talven::host
