// Only GetPluginFactory: neither an initialisation nor an exit entry point.
#include "EntryPoints.h"
#include "PassThroughEffect.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::passThroughDescription())
