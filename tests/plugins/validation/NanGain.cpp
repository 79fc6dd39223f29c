// The checked gain for talven-validate's tests: a 1-frame block comes out NaN: the blocks check fails.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::NanOnSingleFrames, 0xC002,
                                                                      "Talven NaN Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
