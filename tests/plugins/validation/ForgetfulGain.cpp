// The checked gain for talven-validate's tests: recalling a state forgets the gain: the state check fails.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::StateForgetsGain, 0xC003,
                                                                      "Talven Forgetful Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
