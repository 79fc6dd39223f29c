// The plug-in's editor goes after the detach, on the library's editor thread
// where there is one (Linux): the view is removed there and the plug-in
// released, its controller terminated. A process that ended first would drop
// that close unrun, which a program's own process never does to a plug-in it
// detached and lives on after; so talven-host waits for it before it ends.
#pragma once

namespace talven::host {

// Main thread, after the detach: returns once the editor thread has ended
// (it ends with the last editor's close), or after a bound (4 s, within the
// 5 s the program's side waits before it ends the process), so that a
// plug-in whose close hangs cannot keep the process.
void awaitEditorTeardown();

} // namespace talven::host
