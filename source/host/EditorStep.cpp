#include "host/EditorStep.h"

namespace talven {

void openEditorForOpenStep(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title)
{
    openEditor(instance, x, y, title);
}

} // namespace talven
