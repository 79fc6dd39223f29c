// The checked gain for talven-validate's tests: a 4095-frame block aborts the process, so the blocks check
// fails as crashed while the others still report.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::AbortOn4095Frames,
                                                                      0xC005, "Talven Aborting Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
