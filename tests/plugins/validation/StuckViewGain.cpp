// The checked gain for talven-validate's tests: its view fails to attach: the editor check fails.
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::ViewAttachFails, 0xC00B,
                                                                      "Talven Stuck View Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
