/*
 * Talven's own BASS-compatible audio engine: the subset of the BASS 2.4 API
 * that Talven uses, with BASS's published names, types and values, so code
 * written against it also runs against the real BASS. It is a test double and
 * the default engine of the tools, not a full BASS.
 *
 * How it behaves where BASS leaves room, or where it does less:
 *
 * - BASS_Init accepts device -1 (default), 0 (no sound) and 1. There is no
 *   real output: an engine "mixing thread" renders every playing channel in
 *   10 ms periods, paced in real time, through its DSP chain, and discards
 *   the result. Every other call that creates a channel needs BASS_Init first
 *   (BASS_ERROR_INIT), decode channels included, as in BASS.
 * - BASS_StreamCreate takes a real STREAMPROC; STREAMPROC_DUMMY, _PUSH and
 *   _DEVICE are refused with BASS_ERROR_NOTAVAIL. A STREAMPROC that returns 0
 *   without BASS_STREAMPROC_END makes BASS_ChannelGetData return 0 (stalled).
 * - Sample formats as in BASS: 16-bit signed by default, 8-bit unsigned with
 *   BASS_SAMPLE_8BITS (128 is silence), 32-bit float with BASS_SAMPLE_FLOAT;
 *   asking for both of the last two fails with BASS_ERROR_FORMAT. A
 *   STREAMPROC fills, and BASS_ChannelGetData returns, data in the channel's
 *   format (lengths in its bytes), or float with BASS_DATA_FLOAT (lengths in
 *   float bytes). Float to integer rounds to the nearest step and clips.
 *   BASS_ChannelGetInfo reports the creation flags; origres is the file's
 *   resolution for file streams and 0 (undefined) for user streams. At most
 *   65535 channels (BASS_ERROR_FORMAT beyond).
 * - Config: BASS_SetConfig/BASS_GetConfig know BASS_CONFIG_FLOATDSP only
 *   (default FALSE, any non-zero value sets it, BASS_GetConfig answers TRUE
 *   or FALSE, it needs no BASS_Init and outlives BASS_Free). Other options
 *   fail with BASS_ERROR_ILLTYPE (FALSE / -1). A DSP gets float data on a
 *   float channel or while the option is on; otherwise the channel's 8- or
 *   16-bit data, and `length` counts bytes of what it gets. With the option
 *   on, an integer channel's block goes to float before its DSP chain and
 *   back, clipped, after it. The option is read at the start of each block,
 *   so a change takes effect from the next block.
 * - BASS_StreamCreateFile decodes WAV files itself (PCM of 8, 16, 24 or 32
 *   bits, or 32-bit float, any channel count) on both targets, and other
 *   formats through libsndfile on Linux. The file is a UTF-8 path on Linux
 *   and an ANSI path on Windows, or with BASS_UNICODE a UTF-16 path on
 *   Windows (refused with BASS_ERROR_NOTAVAIL on Linux); info.filename then
 *   points to the wide string. mem = TRUE and a non-zero offset or length
 *   are refused with BASS_ERROR_NOTAVAIL.
 * - BASS_ChannelGetData works on decode channels only (BASS_ERROR_NOTAVAIL
 *   otherwise). The length may carry BASS_DATA_FLOAT; FFT, FIXED and NOREMOVE
 *   requests fail with BASS_ERROR_NOTAVAIL. The length is rounded down to
 *   whole frames of what is returned. A DSP or STREAMPROC calling it for its own channel gets
 *   BASS_ERROR_ALREADY.
 * - BASS_ChannelGetLength knows byte lengths (in the channel's format) of
 *   file streams only (BASS_ERROR_NOTAVAIL for user streams and other modes).
 * - Positions: BASS_ChannelGetPosition/SetPosition take BASS_POS_BYTE,
 *   optionally with BASS_POS_DECODE; other modes and flags fail with
 *   BASS_ERROR_NOTAVAIL. Positions are bytes of the channel's own format
 *   (never of the float a DSP may see). There is no output buffering, so
 *   the playing and decoding positions are the same: the frames decoded so
 *   far. A block counts as decoded before its DSPs run, so a DSP asking for
 *   its channel's position gets the position just after the block it is
 *   processing; the block's first frame is that position in frames minus
 *   the block's frames. Seeking works on file streams only (user streams:
 *   BASS_ERROR_NOTFILE), rounds down to whole frames, may go to the end but
 *   not beyond (BASS_ERROR_POSITION), and lets an ended stream go on. A seek
 *   waits for a block of the channel in progress on another thread; from
 *   inside the channel's own DSP it takes effect from the next block. Any
 *   thread may read or set a position at any time.
 * - BASS_ChannelPlay(restart = TRUE) rewinds a file stream, sets the
 *   position of any stream back to 0 (a STREAMPROC simply goes on) and lets
 *   an ended stream play again; a stream that ends stops playing.
 *   BASS_ChannelStop on a decode channel does nothing and succeeds.
 * - BASS_STREAM_AUTOFREE: a playing stream with it is freed when it ends (on
 *   the mixing thread, which runs its free syncs) or when BASS_ChannelStop
 *   stops it (on the stopping thread). A decoding stream never plays, so
 *   the flag does nothing there.
 * - Syncs: only BASS_SYNC_FREE (optionally with BASS_SYNC_MIXTIME and
 *   BASS_SYNC_ONETIME) is supported; other types fail with
 *   BASS_ERROR_ILLTYPE rather than being accepted and never firing.
 * - Freeing a channel runs its free syncs at once on the freeing thread, in
 *   order of setting. From the moment the free starts, every call with the
 *   handle fails with BASS_ERROR_HANDLE. If the channel is being rendered on
 *   another thread, the free first waits for that block to finish; called
 *   from within the channel's own DSP or STREAMPROC it does not wait, and
 *   no further DSP of that block is called.
 * - BASS_ChannelRemoveDSP may be called from any thread, including from the
 *   DSP itself. When the DSP is running on another thread at that moment,
 *   the removal waits for that call to return, so its user data may be
 *   released as soon as the removal returns. Do not remove a DSP (or free a
 *   channel) while holding a lock that the channel's callbacks take.
 * - No engine lock is held while a callback runs, so DSPs, syncs and
 *   STREAMPROCs may call back into the engine. BASS_Free from a callback on
 *   the mixing thread fails with BASS_ERROR_BUSY.
 * - Handles are non-zero and taken from one counter shared by channels,
 *   DSPs and syncs, so a handle is not reused until the counter wraps.
 *
 * Test-only export: BASSTEST_FailNextCall(function, code) makes the next
 * call, from any thread, of the named BASS_ function fail with that error
 * code and its usual failure result, without any other effect. It returns
 * FALSE for names it does not know (BASS_ErrorGetCode cannot be made to
 * fail). BASSTEST_FailNextCall(NULL, 0) clears every pending failure.
 *
 * Test-only export: BASSTEST_GetCallbackCounts(handle, dsps, syncs) stores
 * how many DSPs and syncs are set on the channel handle, or on every channel
 * when handle is 0, in *dsps and *syncs (either may be NULL), so that a
 * program can see what an add-on left behind. It returns FALSE with
 * BASS_ERROR_HANDLE for a handle that names no channel.
 *
 * Include this header before any other declaration of the BASS API: both use
 * the BASS_H guard.
 */
#ifndef BASS_H
#define BASS_H

#ifdef _WIN32
#include <wtypes.h>
typedef unsigned long long QWORD;
#else
#include <stdint.h>
#define WINAPI
#define CALLBACK
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#endif

#if defined(BASS_BUILDING) && defined(_WIN32)
#define BASS_EXPORT __declspec(dllexport)
#elif defined(BASS_BUILDING)
#define BASS_EXPORT __attribute__((visibility("default")))
#else
#define BASS_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define BASSVERSION 0x204
#define BASSVERSIONTEXT "2.4"

#ifndef BASSDEF
#define BASSDEF(f) WINAPI f
#endif

typedef DWORD HSTREAM;
typedef DWORD HSYNC;
typedef DWORD HDSP;
typedef DWORD HPLUGIN;
typedef DWORD HSAMPLE;

/* Error codes returned by BASS_ErrorGetCode */
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_POSITION 7
#define BASS_ERROR_INIT 8
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_ILLTYPE 19
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_DEVICE 23
#define BASS_ERROR_NOTFILE 27
#define BASS_ERROR_NOTAVAIL 37
#define BASS_ERROR_DECODE 38
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_ENDED 45
#define BASS_ERROR_BUSY 46
#define BASS_ERROR_UNKNOWN -1

#define BASS_CONFIG_FLOATDSP 25

#define BASS_SAMPLE_8BITS 1
#define BASS_SAMPLE_MONO 2
#define BASS_SAMPLE_FLOAT 256
#define BASS_STREAM_AUTOFREE 0x40000
#define BASS_STREAM_DECODE 0x200000
#define BASS_UNICODE 0x80000000

typedef struct {
    DWORD freq;
    DWORD chans;
    DWORD flags;
    DWORD ctype;
    DWORD origres;
    HPLUGIN plugin;
    HSAMPLE sample;
    const char *filename;
} BASS_CHANNELINFO;

#define BASS_ORIGRES_FLOAT 0x10000

#define BASS_CTYPE_STREAM 0x10000
#define BASS_CTYPE_STREAM_OGG 0x10002
#define BASS_CTYPE_STREAM_AIFF 0x10006
#define BASS_CTYPE_STREAM_WAV 0x40000
#define BASS_CTYPE_STREAM_WAV_PCM 0x50001
#define BASS_CTYPE_STREAM_WAV_FLOAT 0x50003

typedef DWORD(CALLBACK STREAMPROC)(HSTREAM handle, void *buffer, DWORD length, void *user);
#define BASS_STREAMPROC_END 0x80000000
#define STREAMPROC_DUMMY ((STREAMPROC *)0)
#define STREAMPROC_PUSH ((STREAMPROC *)-1)
#define STREAMPROC_DEVICE ((STREAMPROC *)-2)
#define STREAMPROC_DEVICE_3D ((STREAMPROC *)-3)

#define BASS_POS_BYTE 0
#define BASS_POS_DECODE 0x10000000

#define BASS_DATA_AVAILABLE 0
#define BASS_DATA_NOREMOVE 0x10000000
#define BASS_DATA_FIXED 0x20000000
#define BASS_DATA_FLOAT 0x40000000
#define BASS_DATA_FFT256 0x80000000

#define BASS_SYNC_FREE 8
#define BASS_SYNC_MIXTIME 0x40000000
#define BASS_SYNC_ONETIME 0x80000000

typedef void(CALLBACK SYNCPROC)(HSYNC handle, DWORD channel, DWORD data, void *user);
typedef void(CALLBACK DSPPROC)(HDSP handle, DWORD channel, void *buffer, DWORD length, void *user);

BASS_EXPORT BOOL BASSDEF(BASS_Init)(int device, DWORD freq, DWORD flags, void *win, const void *dsguid);
BASS_EXPORT BOOL BASSDEF(BASS_Free)(void);
BASS_EXPORT int BASSDEF(BASS_ErrorGetCode)(void);
BASS_EXPORT BOOL BASSDEF(BASS_SetConfig)(DWORD option, DWORD value);
BASS_EXPORT DWORD BASSDEF(BASS_GetConfig)(DWORD option);

BASS_EXPORT HSTREAM BASSDEF(BASS_StreamCreate)(DWORD freq, DWORD chans, DWORD flags, STREAMPROC *proc, void *user);
BASS_EXPORT HSTREAM BASSDEF(BASS_StreamCreateFile)(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags);
BASS_EXPORT BOOL BASSDEF(BASS_StreamFree)(HSTREAM handle);

BASS_EXPORT BOOL BASSDEF(BASS_ChannelFree)(DWORD handle);
BASS_EXPORT BOOL BASSDEF(BASS_ChannelGetInfo)(DWORD handle, BASS_CHANNELINFO *info);
BASS_EXPORT DWORD BASSDEF(BASS_ChannelGetData)(DWORD handle, void *buffer, DWORD length);
BASS_EXPORT QWORD BASSDEF(BASS_ChannelGetLength)(DWORD handle, DWORD mode);
BASS_EXPORT QWORD BASSDEF(BASS_ChannelGetPosition)(DWORD handle, DWORD mode);
BASS_EXPORT BOOL BASSDEF(BASS_ChannelSetPosition)(DWORD handle, QWORD pos, DWORD mode);
BASS_EXPORT BOOL BASSDEF(BASS_ChannelPlay)(DWORD handle, BOOL restart);
BASS_EXPORT BOOL BASSDEF(BASS_ChannelStop)(DWORD handle);
BASS_EXPORT HDSP BASSDEF(BASS_ChannelSetDSP)(DWORD handle, DSPPROC *proc, void *user, int priority);
BASS_EXPORT BOOL BASSDEF(BASS_ChannelRemoveDSP)(DWORD handle, HDSP dsp);
BASS_EXPORT HSYNC BASSDEF(BASS_ChannelSetSync)(DWORD handle, DWORD type, QWORD param, SYNCPROC *proc, void *user);
BASS_EXPORT BOOL BASSDEF(BASS_ChannelRemoveSync)(DWORD handle, HSYNC sync);

/* Test-only: see the note at the top. */
BASS_EXPORT BOOL BASSDEF(BASSTEST_FailNextCall)(const char *function, int errorCode);
BASS_EXPORT BOOL BASSDEF(BASSTEST_GetCallbackCounts)(DWORD handle, DWORD *dsps, DWORD *syncs);

#ifdef __cplusplus
}
#endif

#endif /* BASS_H */
