#include "editor/PluginDisplay.h"

namespace talven {

// Windows: no X server.
std::shared_ptr<void> prepareDisplayForPlugin()
{
    return nullptr;
}

} // namespace talven
