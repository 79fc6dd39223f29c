#include "platform/LoadHooks.h"
#include "registry/Registry.h"

namespace talven {

void onLibraryLoad()
{
    registryLoad();
}

void onLibraryUnload()
{
    registryUnload();
}

} // namespace talven
