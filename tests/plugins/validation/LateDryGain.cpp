// The checked gain for talven-validate's tests: reports a latency yet plays dry: the parameters and bypass
// checks flag it.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::LatencyPlaysDry, 0xC008,
                                                                      "Talven Late Dry Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
