// The checked gain for talven-validate's tests: delays by the latency it reports: all checks pass.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::DelaysByLatency, 0xC009,
                                                                      "Talven Late Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
