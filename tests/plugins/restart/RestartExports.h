// The plain C functions the RestartEffect test plug-in exports for tests,
// looked up by name with the platform's symbol lookup. The plug-in is a gain
// that asks its host for restarts when a test says so, records what the host
// does meanwhile and the process context of every block, and reports its
// input's peak back as an output parameter. Counts cover every instance the
// module made since the last reset.
#pragma once

#include <stdint.h>

// out = in * 2 * gain, gain normalized (default 0.25: out = in / 2).
#define TALVEN_RESTART_GAIN_ID 0
#define TALVEN_RESTART_DEFAULT_GAIN 0.25
// Read-only: the largest absolute input sample of the latest block (at most
// 1), which the processor reports in its output parameter changes.
#define TALVEN_RESTART_PEAK_ID 1

// Read-only, present only while a test has it listed (TalvenRestartListLevel):
// half the peak, reported beside it. The plug-in changes its parameter list
// as a plug-in does before it asks for a reload.
#define TALVEN_RESTART_LEVEL_ID 2

// Where the plug-in calls restartComponent for a test's request.
#define TALVEN_RESTART_NOW 0                 // at once, on the requesting thread
#define TALVEN_RESTART_IN_PROCESS 1          // from inside its next process call
#define TALVEN_RESTART_IN_ACTIVATION 2       // from inside its next setActive(true)
#define TALVEN_RESTART_IN_EVERY_ACTIVATION 3 // from inside every setActive(true) until reset

struct TalvenRestartStats {
    int64_t processCalls;     // calls with samples
    int64_t processedFrames;  // their samples, summed
    int32_t setups;           // setupProcessing calls
    int32_t activations;      // setActive(true)
    int32_t deactivations;    // setActive(false)
    int32_t processingOn;     // setProcessing(true)
    int32_t processingOff;    // setProcessing(false)
    // Host mistakes, counted rather than crashed on: process while inactive
    // or not processing, or while setActive, setProcessing or
    // setupProcessing runs on another thread (and those while process runs);
    // setupProcessing while active; setProcessing(true) while inactive; more
    // samples than announced; bus channel counts other than the plug-in's
    // own at its activation.
    int32_t violations;
    int32_t latency;          // what getLatencySamples answers now
    int32_t outputChannels;   // the output bus's channels now
    int32_t requestsMade;     // restartComponent calls made
    int32_t lastResult;       // the handler's answer to the latest
    int32_t peakDeliveries;   // setParamNormalized calls for the peak
    double lastDeliveredPeak;
    int64_t peakThread;       // thread tag of the latest of those
    int64_t viewThread;       // thread tag of the view's attached call
    int64_t activationThread; // thread tag of the latest setActive(true)
    int64_t requestThread;    // thread tag of the latest restartComponent call
    int32_t terminations;     // the processor's terminate calls
    int64_t terminationThread; // thread tag of the latest of those
};

// What one process call with samples was told.
struct TalvenRestartContext {
    int32_t numSamples;
    int32_t state;            // ProcessContext::state; -1 without a context
    double sampleRate;
    int64_t projectTimeSamples;
    int64_t continuousTimeSamples;
    double projectTimeMusic;
    double barPositionMusic;
    double tempo;
    int32_t numerator;
    int32_t denominator;
};

#define TALVEN_RESTART_READ "TalvenRestartRead"
typedef void (*TalvenRestartReadProc)(struct TalvenRestartStats* out);

// Counters, records and requests back to their start: latency 0 from the
// next activation, a stereo output bus when the plug-in next changes it.
#define TALVEN_RESTART_RESET "TalvenRestartReset"
typedef void (*TalvenRestartResetProc)(void);

// The latency getLatencySamples answers from the next activation on.
#define TALVEN_RESTART_SET_LATENCY "TalvenRestartSetLatency"
typedef void (*TalvenRestartSetLatencyProc)(int32_t samples);

// The output bus takes this many channels (1 or 2) at the first deactivation
// after the plug-in asked for kIoChanged: it changes its buses only while
// inactive, and only once it told its host.
#define TALVEN_RESTART_SET_OUTPUT_CHANNELS "TalvenRestartSetOutputChannels"
typedef void (*TalvenRestartSetOutputChannelsProc)(int32_t channels);

// Lists the level parameter (1) or not (0) from now on, in the controller's
// parameter list and in what the processor reports; tell the host with a
// restart request.
#define TALVEN_RESTART_LIST_LEVEL "TalvenRestartListLevel"
typedef void (*TalvenRestartListLevelProc)(int32_t listed);

// Calls restartComponent(flags) where says (TALVEN_RESTART_...). NOW answers
// the handler's result (-1 without a handler); the others answer 0 and leave
// the result in lastResult once made.
#define TALVEN_RESTART_REQUEST "TalvenRestartRequest"
typedef int32_t (*TalvenRestartRequestProc)(int32_t flags, int32_t where);

// Copies up to capacity of the contexts recorded since the reset (the first
// 4096 process calls with samples) and answers how many there are.
#define TALVEN_RESTART_CONTEXTS "TalvenRestartContexts"
typedef int32_t (*TalvenRestartContextsProc)(struct TalvenRestartContext* out, int32_t capacity);

// The calling thread's tag, as the stats record them.
#define TALVEN_RESTART_THREAD_TAG "TalvenRestartThreadTag"
typedef int64_t (*TalvenRestartThreadTagProc)(void);
