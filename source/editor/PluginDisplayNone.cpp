#include "editor/PluginDisplay.h"

namespace talven {

// Windows: no X server.
void prepareDisplayForPlugin() {}

} // namespace talven
