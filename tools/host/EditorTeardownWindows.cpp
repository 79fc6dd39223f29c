#include "EditorTeardown.h"

namespace talven::host {

// The editor's window lives on the main thread, which closed it inline as it
// detached: nothing is left to wait for.
void awaitEditorTeardown() {}

} // namespace talven::host
