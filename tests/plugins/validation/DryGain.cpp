// The checked gain for talven-validate's tests: its parameters change nothing: the parameters check flags it.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::IgnoresParameters, 0xC007,
                                                                      "Talven Dry Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
