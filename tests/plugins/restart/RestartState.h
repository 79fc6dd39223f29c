// What the RestartEffect plug-in shares between its processor, its
// controller and the exported test controls (RestartExports.h). Any thread.
#pragma once

#include "RestartExports.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <cstdint>

namespace talven::testplugin::restart {

// Every counter of TalvenRestartStats, as atomics: the audio thread writes
// while tests read.
struct Counters {
    std::atomic<int64_t> processCalls{0}, processedFrames{0};
    std::atomic<int32_t> setups{0}, activations{0}, deactivations{0}, processingOn{0}, processingOff{0};
    std::atomic<int32_t> violations{0}, latency{0}, outputChannels{2};
    std::atomic<int32_t> requestsMade{0}, lastResult{0}, peakDeliveries{0};
    std::atomic<double> lastDeliveredPeak{0};
    std::atomic<int64_t> peakThread{0}, viewThread{0}, activationThread{0}, requestThread{0};
    std::atomic<int32_t> terminations{0};
    std::atomic<int64_t> terminationThread{0};
};
Counters& counters();

// What a test asked for, waiting for the plug-in's next activation or
// deactivation.
std::atomic<int32_t>& nextLatency();
std::atomic<int32_t>& nextOutputChannels();
// Whether the level parameter is listed now.
std::atomic<bool>& levelListed();

// The handler of the newest controller (null without one): the processor
// asks through it too, as a plug-in whose halves share one object does.
void publishHandler(Steinberg::Vst::IComponentHandler* handler);
void withdrawHandler(Steinberg::Vst::IComponentHandler* handler);

// Calls restartComponent(flags) on the published handler and notes it;
// -1 without one.
int32_t requestRestart(int32_t flags);
// True once after a request with kIoChanged: the output bus takes its new
// shape at the deactivation that follows, as the plug-in asked.
bool takeIoRequest();
// Queues flags for TALVEN_RESTART_IN_PROCESS / _IN_ACTIVATION /
// _IN_EVERY_ACTIVATION.
void queueRequest(int32_t flags, int32_t where);
// Makes the request queued for that place, if any (once, unless it is for
// every activation).
void makeQueuedRequest(int32_t where);

// Notes one process call's context (the first 4096 since the reset). The
// audio thread; never allocates.
void recordContext(const TalvenRestartContext& context);
int32_t copyContexts(TalvenRestartContext* out, int32_t capacity);

int64_t threadTag();
void reset();

} // namespace talven::testplugin::restart
