#include "editor/EditorWindowFactory.h"

namespace talven {

// No editor window on this platform yet: an editor opens nothing, as for a
// plug-in without a view.
EditorWindowFactory* platformEditorWindowFactory()
{
    return nullptr;
}

// No window, no thread to hand an editor's close to.
void releaseAbandonedEditors() noexcept {}

} // namespace talven
