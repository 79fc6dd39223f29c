#pragma once

#include "editor/EditorHosting.h" // closeEditor, the detach's editor step
#include "registry/PluginInstance.h"

#include <cstdint>

namespace talven {

// Where the open step hands over to the editor subsystem to show the
// plug-in's editor at (x, y) with title. Caller's thread, no lock held.
void openEditorForOpenStep(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title);

} // namespace talven
