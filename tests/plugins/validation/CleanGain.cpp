// The checked gain for talven-validate's tests: all checks pass.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::None, 0xC001,
                                                                      "Talven Clean Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
