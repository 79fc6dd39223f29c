// Compiled into every probe plug-in, so that each module exports its own
// counters and controls (ProbeExports.h).
#include "ProbeState.h"

#include "pluginterfaces/base/fplatform.h"

extern "C" SMTG_EXPORT_SYMBOL void TalvenProbeRead(TalvenProbeStats* out)
{
    if (out)
        talven::testplugin::readProbeStats(*out);
}

extern "C" SMTG_EXPORT_SYMBOL void TalvenProbeReset(void)
{
    talven::testplugin::resetProbeStats();
}

extern "C" SMTG_EXPORT_SYMBOL void TalvenProbeFailNext(int32_t count)
{
    talven::testplugin::failNextProcessCalls(count);
}

extern "C" SMTG_EXPORT_SYMBOL void TalvenProbeHold(int32_t on)
{
    talven::testplugin::holdProcessCalls(on != 0);
}

extern "C" SMTG_EXPORT_SYMBOL int32_t TalvenProbeHeld(void)
{
    return talven::testplugin::processCallHeld() ? 1 : 0;
}

extern "C" SMTG_EXPORT_SYMBOL int64_t TalvenProbeThreadTag(void)
{
    return talven::testplugin::probeThreadTag();
}
