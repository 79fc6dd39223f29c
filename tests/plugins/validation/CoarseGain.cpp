// The checked gain for talven-validate's tests: "Gain" reads back in tenths: the parameters check fails.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::CoarseGainReadBack, 0xC004,
                                                                      "Talven Coarse Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
