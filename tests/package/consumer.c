/* A program as a user writes it against an unpacked release: C99 with
 * talven.h and bass.h, linked against the packaged library. Attaches the
 * plug-in at argv[1] (ProbeStereo, which halves its input by default) to a
 * float decode stream, processes one block, checks it, and checks that the
 * library reports version argv[2]. Exits 0 when everything held. */
#include <stdio.h>
#include <string.h>

#include "bass.h"
#include "talven.h"

#define FRAMES 512

static unsigned long long produced = 0;

/* Frame j, channel c: a ramp per channel, distinct on each channel. */
static float sampleAt(unsigned long long frame, int channel)
{
    return (float)(frame % 97) / 128.0f + 0.25f * (float)channel;
}

static DWORD CALLBACK source(HSTREAM handle, void *buffer, DWORD length, void *user)
{
    float *samples = (float *)buffer;
    DWORD frames = length / (2 * sizeof(float)), j;
    (void)handle, (void)user;
    for (j = 0; j < frames; ++j, ++produced) {
        samples[2 * j] = sampleAt(produced, 0);
        samples[2 * j + 1] = sampleAt(produced, 1);
    }
    return frames * 2 * sizeof(float);
}

static int fail(const char *what)
{
    printf("FAIL: %s\n", what);
    return 1;
}

int main(int argc, char **argv)
{
    static float block[2 * FRAMES];
    char version[32];
    uint32_t v = TALVEN_GetVersion(), handle;
    unsigned long long first;
    HSTREAM stream;
    int i;

    if (argc != 3)
        return fail("usage: consumer PLUGIN VERSION");
    sprintf(version, "%u.%u.%u.%u", (unsigned)(v >> 24), (unsigned)(v >> 16 & 0xFF), (unsigned)(v >> 8 & 0xFF),
            (unsigned)(v & 0xFF));
    printf("Talven %s\n", version);
    if (strcmp(version, argv[2]) != 0)
        return fail("the library reports another version than the package's");

    TALVEN_SetTrace(0);
    if (!BASS_Init(0, 48000, 0, NULL, NULL))
        return fail("BASS_Init");
    stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, source, NULL);
    if (!stream)
        return fail("BASS_StreamCreate");
    handle = TALVEN_ChannelSetDSP(stream, argv[1], 0, 0, 0, 0, 0, NULL, NULL);
    if (!handle)
        return fail("TALVEN_ChannelSetDSP");

    first = produced;
    if (BASS_ChannelGetData(stream, block, sizeof block) != sizeof block)
        return fail("BASS_ChannelGetData");
    for (i = 0; i < 2 * FRAMES; ++i) {
        if (block[i] != sampleAt(first + (unsigned long long)(i / 2), i % 2) * 0.5f)
            return fail("the plug-in did not halve the block");
    }
    {
        /* The same plug-in in a process of its own: talven-host, found
           beside the library in the package. */
        static const TALVEN_ATTACH none;
        TALVEN_ATTACH attach = none;
        HSTREAM apart = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, source, NULL);
        uint32_t isolated;
        attach.size = sizeof attach;
        attach.path = argv[1];
        attach.flags = TALVEN_ATTACH_ISOLATED;
        isolated = TALVEN_ChannelSetDSPWith(apart, &attach);
        if (!isolated || TALVEN_GetStatus(isolated) != TALVEN_STATUS_RUNNING)
            return fail("TALVEN_ChannelSetDSPWith, isolated");
        first = produced;
        if (BASS_ChannelGetData(apart, block, sizeof block) != sizeof block)
            return fail("BASS_ChannelGetData, isolated");
        for (i = 0; i < 2 * FRAMES; ++i) {
            if (block[i] != sampleAt(first + (unsigned long long)(i / 2), i % 2) * 0.5f)
                return fail("the isolated plug-in did not halve the block");
        }
        if (!BASS_StreamFree(apart) || TALVEN_GetStatus(isolated) != -1)
            return fail("the isolated plug-in's clean-up");
    }
    if (TALVEN_ChannelRemoveDSP(stream, handle) != 1 || !BASS_StreamFree(stream) || !BASS_Free())
        return fail("clean-up");
    printf("processed a block of %d frames through the plug-in, in the program's process and in its own\n", FRAMES);
    return 0;
}
