// GetPluginFactory answers null.
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_NULL_FACTORY()
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
