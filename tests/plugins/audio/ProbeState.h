// The module-wide record behind ProbeExports.h, shared by the probe
// processor and the exported functions.
#pragma once

#include "ProbeExports.h"

namespace talven::testplugin {

void readProbeStats(TalvenProbeStats& out);
void resetProbeStats();
void failNextProcessCalls(int32_t count);
void holdProcessCalls(bool on);
bool processCallHeld();
int64_t probeThreadTag();

} // namespace talven::testplugin
