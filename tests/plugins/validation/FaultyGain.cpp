// The checked gain that fails on command through its "Fault" parameter:
// crashes, aborts, hangs or exits in process, or hangs in setActive (the
// isolation tests).
#include "CheckedGain.h"
#include "EntryPoints.h"

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::checkedGainDescription(talven::testplugin::GainFlaw::FaultsOnCommand,
                                                                      0xC00C, "Talven Faulty Gain"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
