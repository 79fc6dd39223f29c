// What the RestartEffect plug-in shares between its processor, its
// controller and the exported test controls (RestartExports.h). Any thread.
// With TALVEN_PROBE_SHARED set it lives in the file <folder>/RestartEffect.record,
// which a test process and talven-host both map: the test steers and reads
// the plug-in running in talven-host.
#pragma once

#include "RestartExports.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <cstdint>
#include <thread>

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
bool levelListed();
void listLevel(bool listed);

// The handler of the newest controller (null without one): the processor
// asks through it too, as a plug-in whose halves share one object does.
void publishHandler(Steinberg::Vst::IComponentHandler* handler);
void withdrawHandler(Steinberg::Vst::IComponentHandler* handler);

// Calls restartComponent(flags) on the published handler and notes it;
// -1 without one.
int32_t requestRestart(int32_t flags);
// A test's request to be made at once: here, on the calling thread, when
// this process holds a handler; else, with the record shared, by the
// plug-in's own thread in the process that does (RequestWatcher), waited
// for. -1 when nobody made it.
int32_t requestNow(int32_t flags);

// The thread a plug-in hears of a change on (a file it watches, a worker
// of its own) and asks its host from: with the record shared, it makes the
// requests a test in another process asks to be made at once. Made with a
// controller and ended before it terminates; nothing without a shared
// record.
class RequestWatcher {
public:
    RequestWatcher();
    ~RequestWatcher();
    RequestWatcher(const RequestWatcher&) = delete;
    RequestWatcher& operator=(const RequestWatcher&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
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
