#include "host/EditorStep.h"

#include "editor/EditorWork.h"

namespace talven {

void openEditorForOpenStep(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title)
{
    runEditorWork([&] { openEditor(instance, x, y, title); });
}

} // namespace talven
