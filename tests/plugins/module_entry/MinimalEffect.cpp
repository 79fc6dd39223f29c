// A minimal valid effect with every entry point.
#include "EntryPoints.h"
#include "PassThroughEffect.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::passThroughDescription())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
