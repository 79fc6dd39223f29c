// The plain C functions the PresetProbe test plug-in exports beside the
// recording plug-ins' (RecordingExports.h), looked up by name by the tests.
#pragma once

// Sets the state the component and the controller give from getState.
#define TALVEN_PROBE_SET_STATES "TalvenProbeSetStates"
typedef void (*TalvenProbeSetStatesProc)(const unsigned char* component, int componentSize,
                                         const unsigned char* controller, int controllerSize);

// Copies the current state of the component (which 0) or the controller (1)
// into buffer, cut to capacity; returns its full size.
#define TALVEN_PROBE_GET_STATE "TalvenProbeGetState"
typedef int (*TalvenProbeGetStateProc)(int which, unsigned char* buffer, int capacity);

// The results of the component's getState, the controller's getState and the
// component's setState. A getState answering anything but kResultOk or
// kNotImplemented writes half of its state first, as a plug-in failing part
// way through would. A failing setState keeps the state it had.
#define TALVEN_PROBE_SET_RESULTS "TalvenProbeSetResults"
typedef void (*TalvenProbeSetResultsProc)(int componentGetState, int controllerGetState, int componentSetState);
