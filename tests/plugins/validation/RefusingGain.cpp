// The checked gain for talven-validate's tests: process fails on every block: the checks that play audio fail.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::ProcessAlwaysFails, 0xC006,
                                                                      "Talven Refusing Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
