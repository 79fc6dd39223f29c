#include "platform/LoadHooks.h"

namespace {

// Runs when the shared library is loaded (dlopen or program start).
__attribute__((constructor)) void libraryLoaded()
{
    talven::onLibraryLoad();
}

// Runs when the shared library is unloaded (dlclose or process exit).
__attribute__((destructor)) void libraryUnloading()
{
    talven::onLibraryUnload();
}

} // namespace
