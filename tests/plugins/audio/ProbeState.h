// The module-wide record behind ProbeExports.h, shared by the probe
// processor and the exported functions.
#pragma once

#include "ProbeExports.h"

#include <atomic>

namespace talven::testplugin {

// Every counter of ProbeExports.h and every control, as atomics: the audio
// thread writes them while tests read, and with TALVEN_PROBE_SHARED set
// they live in a file mapping that a test process and talven-host share.
struct ProbeRecord {
    std::atomic<int64_t> processCalls{0}, failedCalls{0}, totalSamples{0};
    std::atomic<int32_t> maxNumSamples{0}, lastNumSamples{0}, lastSampleSize{0};
    std::atomic<int32_t> setupMaxSamples{0}, setupSampleSize{-1}, setupSampleRate{0};
    std::atomic<int32_t> activations{0}, deactivations{0}, processingOn{0}, processingOff{0}, terminations{0};
    std::atomic<int32_t> active{0}, processing{0}, violations{0};
    std::atomic<int32_t> auxInputNotSilent{0}, auxOutputNotSilent{0};
    std::atomic<int64_t> lastProcessThread{0};
    std::atomic<int64_t> lastTerminateThread{0};
    std::atomic<int32_t> failNext{0};
    std::atomic<int32_t> holdCalls{0};
    std::atomic<int32_t> callHeld{0};
    // Shared too, so that tags stay distinct across processes.
    std::atomic<int64_t> nextThreadTag{1};
};

// This module's record (ProbeRecord.cpp, compiled into each plug-in); any thread.
ProbeRecord& probeRecord();

void readProbeStats(TalvenProbeStats& out);
void resetProbeStats();
void failNextProcessCalls(int32_t count);
void holdProcessCalls(bool on);
bool processCallHeld();
int64_t probeThreadTag();

} // namespace talven::testplugin
