#include "editor/EditorWindowFactory.h"

namespace talven {

// No editor window on this platform yet: an editor opens nothing, as for a
// plug-in without a view.
EditorWindowFactory* platformEditorWindowFactory()
{
    return nullptr;
}

} // namespace talven
