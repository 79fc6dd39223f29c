#include "host/EditorStep.h"

namespace talven {

// The editor subsystem's openEditor is not part of the library yet; until
// it is, asking for the editor at attach shows nothing.
void openEditorForOpenStep(PluginInstance&, std::int32_t, std::int32_t, const char*)
{
}

void closeEditor(PluginInstance&)
{
}

} // namespace talven
