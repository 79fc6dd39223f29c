// The checked gain for talven-validate's tests: its view supports no window type: the editor check fails.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::ViewRefusesPlatform, 0xC00A,
                                                                      "Talven Blind View Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
