// The plain C functions every probe plug-in exports for tests, looked up by
// name with the platform's symbol lookup. Counts cover every instance the
// module made since the last reset; with TALVEN_PROBE_SHARED naming a folder
// in the environment, every instance of every process that loads the module
// (a test and the talven-host it attaches through), and so do the controls.
#pragma once

#include <stdint.h>

// The probes' one parameter: out = in * 2 * gain, gain normalized.
#define TALVEN_PROBE_GAIN_ID 0
#define TALVEN_PROBE_DEFAULT_GAIN 0.25

struct TalvenProbeStats {
    int64_t processCalls;
    int64_t failedCalls;        // calls answered with kResultFalse on demand
    int64_t totalSamples;       // sum of numSamples over all calls
    int32_t maxNumSamples;      // largest numSamples seen
    int32_t lastNumSamples;
    int32_t lastSampleSize;     // symbolicSampleSize of the last call
    int32_t setupMaxSamples;    // maxSamplesPerBlock of the last setupProcessing
    int32_t setupSampleSize;
    int32_t setupSampleRate;
    int32_t activations;        // setActive(true) calls
    int32_t deactivations;      // setActive(false) calls
    int32_t processingOn;       // setProcessing(true) calls
    int32_t processingOff;      // setProcessing(false) calls
    int32_t terminations;       // IComponent::terminate calls
    int32_t active;             // current state of the newest instance
    int32_t processing;
    // Host mistakes, counted rather than crashed on: process while inactive
    // or not processing, more samples than announced, a sample size other
    // than announced, bus channel counts other than the plug-in's own, null
    // channel pointers, terminate while still active, a state switch or
    // terminate while a process call runs.
    int32_t violations;
    // Blocks whose side-chain input, or whose second output on entry, held
    // anything but silence (plug-ins with those buses only).
    int32_t auxInputNotSilent;
    int32_t auxOutputNotSilent;
    int64_t lastProcessThread;  // thread tag of the last process call
    int64_t lastTerminateThread; // thread tag of the last IComponent::terminate
};

#define TALVEN_PROBE_READ "TalvenProbeRead"
typedef void (*TalvenProbeReadProc)(struct TalvenProbeStats* out);

#define TALVEN_PROBE_RESET "TalvenProbeReset"
typedef void (*TalvenProbeResetProc)(void);

// The next count process calls answer kResultFalse and write nothing.
#define TALVEN_PROBE_FAIL_NEXT "TalvenProbeFailNext"
typedef void (*TalvenProbeFailNextProc)(int32_t count);

// While on, a process call waits inside the plug-in until it is switched
// off; TalvenProbeHeld tells whether a call is waiting.
#define TALVEN_PROBE_HOLD "TalvenProbeHold"
typedef void (*TalvenProbeHoldProc)(int32_t on);
#define TALVEN_PROBE_HELD "TalvenProbeHeld"
typedef int32_t (*TalvenProbeHeldProc)(void);

// The calling thread's tag, as lastProcessThread records it.
#define TALVEN_PROBE_THREAD_TAG "TalvenProbeThreadTag"
typedef int64_t (*TalvenProbeThreadTagProc)(void);
