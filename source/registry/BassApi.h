#pragma once
// The part of BASS's published API that the library calls. BASS is closed
// and is not shipped with the library: the library imports these functions
// from bass.dll / libbass.so, whichever BASS the calling program uses.
// The guard is BASS's own, so a translation unit that includes BASS's full
// header first gets that header's declarations, which agree with these.
#ifndef BASS_H
#define BASS_H

#include <stdint.h>

#ifdef _WIN32
#include <wtypes.h> // DWORD, BOOL and CALLBACK as Windows has them
#define BASSDEF(f) WINAPI f
#else
#define BASSDEF(f) f
#define CALLBACK
typedef uint32_t DWORD;
typedef int BOOL;
#endif

typedef uint64_t QWORD;
typedef DWORD HDSP;
typedef DWORD HSYNC;
typedef DWORD HPLUGIN;
typedef DWORD HSAMPLE;
typedef DWORD HSTREAM;

#define BASS_SYNC_FREE 8
#define BASS_SYNC_MIXTIME 0x40000000
#define BASS_SAMPLE_8BITS 1
#define BASS_SAMPLE_FLOAT 256
// DSP functions get float data whatever the channel's format.
#define BASS_CONFIG_FLOATDSP 25
// Positions in bytes of the channel's own format; with BASS_POS_DECODE the
// decoding position (inside a DSP: just after the block it is given).
#define BASS_POS_BYTE 0
#define BASS_POS_DECODE 0x10000000

typedef struct {
    DWORD freq;  // sample rate in Hz
    DWORD chans; // interleaved channels
    DWORD flags;
    DWORD ctype;
    DWORD origres;
    HPLUGIN plugin;
    HSAMPLE sample;
    const char* filename;
} BASS_CHANNELINFO;

typedef void(CALLBACK DSPPROC)(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);
typedef DWORD(CALLBACK STREAMPROC)(HSTREAM handle, void* buffer, DWORD length, void* user);
typedef void(CALLBACK SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void* user);

#ifdef __cplusplus
extern "C" {
#endif

BOOL BASSDEF(BASS_ChannelGetInfo)(DWORD handle, BASS_CHANNELINFO* info);
HDSP BASSDEF(BASS_ChannelSetDSP)(DWORD handle, DSPPROC* proc, void* user, int priority);
BOOL BASSDEF(BASS_ChannelRemoveDSP)(DWORD handle, HDSP dsp);
HSYNC BASSDEF(BASS_ChannelSetSync)(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user);
BOOL BASSDEF(BASS_ChannelRemoveSync)(DWORD handle, HSYNC sync);
HSTREAM BASSDEF(BASS_StreamCreate)(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user);
BOOL BASSDEF(BASS_StreamFree)(DWORD handle);
DWORD BASSDEF(BASS_GetConfig)(DWORD option);
QWORD BASSDEF(BASS_ChannelGetPosition)(DWORD handle, DWORD mode);

#ifdef __cplusplus
}
#endif

#endif // BASS_H
