// Exports no GetPluginFactory at all.
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_INIT_EXIT(true)
