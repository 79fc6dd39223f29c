#include "sdk/PluginContextFactory.h"

#include <type_traits>

namespace Steinberg {

// Read by plug-ins' set-up on any thread while the process may be running its
// exit: nothing to destroy.
static_assert(std::is_trivially_destructible_v<PluginContextFactory>);

PluginContextFactory& PluginContextFactory::instance()
{
    static PluginContextFactory factory;
    return factory;
}

} // namespace Steinberg
