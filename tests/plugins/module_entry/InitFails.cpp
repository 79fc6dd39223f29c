// Its initialisation entry point (InitDll / ModuleEntry) reports failure.
#include "EntryPoints.h"
#include "PassThroughEffect.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::passThroughDescription())
TALVEN_TEST_PLUGIN_INIT_EXIT(false)
