// Compiled into every plug-in that links talven_test_plugin_common, so that
// each module exports its own entry-point record.
#include "EntryLog.h"

#include "pluginterfaces/base/fplatform.h"

namespace talven::testplugin {
void readEntryCounts(TalvenTestEntryCounts* out);
}

extern "C" SMTG_EXPORT_SYMBOL void TalvenTestReadEntryCounts(TalvenTestEntryCounts* out)
{
    talven::testplugin::readEntryCounts(out);
}
