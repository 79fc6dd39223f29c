/* bass.h must compile as C: Talven's C callers and BASS's own users do. */
#include "bass.h"

static DWORD CALLBACK cSource(HSTREAM handle, void *buffer, DWORD length, void *user) {
    (void)handle;
    (void)buffer;
    (void)user;
    return length | BASS_STREAMPROC_END;
}

static void CALLBACK cDsp(HDSP handle, DWORD channel, void *buffer, DWORD length, void *user) {
    (void)handle;
    (void)channel;
    (void)buffer;
    (void)length;
    (void)user;
}

static void CALLBACK cSync(HSYNC handle, DWORD channel, DWORD data, void *user) {
    (void)handle;
    (void)channel;
    (void)data;
    (void)user;
}

/* Creates a stream from C, sets a DSP and a sync, frees it; TRUE when all
 * of that worked. Needs an initialized engine. */
int basstest_useFromC(void) {
    BASS_CHANNELINFO info;
    STREAMPROC *source = cSource;
    DSPPROC *dsp = cDsp;
    SYNCPROC *sync = cSync;
    QWORD length;
    HSTREAM stream = BASS_StreamCreate(44100, 1, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, source, 0);
    if (!stream || !BASS_ChannelGetInfo(stream, &info) || info.chans != 1)
        return FALSE;
    if (!BASS_ChannelSetDSP(stream, dsp, 0, 0) || !BASS_ChannelSetSync(stream, BASS_SYNC_FREE, 0, sync, 0))
        return FALSE;
    length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    return length == (QWORD)-1 && BASS_ErrorGetCode() == BASS_ERROR_NOTAVAIL && BASS_StreamFree(stream);
}
