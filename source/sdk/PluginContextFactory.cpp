#include "sdk/PluginContextFactory.h"

namespace Steinberg {

PluginContextFactory& PluginContextFactory::instance()
{
    static PluginContextFactory factory;
    return factory;
}

} // namespace Steinberg
