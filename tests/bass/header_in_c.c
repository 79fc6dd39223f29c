/* bass.h must compile as C; this also checks the callback types from C. */
#include "bass.h"

static void CALLBACK cDsp(HDSP handle, DWORD channel, void *buffer, DWORD length, void *user) {
    (void)handle, (void)channel, (void)buffer, (void)length, (void)user;
}

/* Sets a DSP on `stream` from C; TRUE when that worked. */
int basstest_setDspFromC(HSTREAM stream) {
    DSPPROC *dsp = cDsp;
    return BASS_ChannelSetDSP(stream, dsp, 0, 0) != 0 && BASS_ErrorGetCode() == BASS_OK;
}
