/* A program built the way Microsoft's tool chain builds one, against
 * talven.h and talven.lib only: compiled for the MSVC ABI (clang,
 * x86_64-pc-windows-msvc) and linked by lld-link with no C runtime, so it
 * brings its own entry point and the three kernel32 calls it needs. It calls
 * every export through the import library and checks the struct layouts
 * from this side of the ABI. TALVEN_PLUGIN names ProbeStereo, and
 * TALVEN_VERSION the package's version. Exits 0 when everything held. */
#include <stddef.h>
#include <stdint.h>

#include "talven.h"

typedef uint32_t DWORD;
typedef int BOOL;
typedef DWORD(__stdcall STREAMPROC)(DWORD handle, void *buffer, DWORD length, void *user);

/* BASS, as its own header declares it (bass.lib comes from a .def). */
__declspec(dllimport) BOOL __stdcall BASS_Init(int device, DWORD freq, DWORD flags, void *win, const void *guid);
__declspec(dllimport) BOOL __stdcall BASS_Free(void);
__declspec(dllimport) DWORD __stdcall BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC *proc,
                                                        void *user);
__declspec(dllimport) DWORD __stdcall BASS_ChannelGetData(DWORD handle, void *buffer, DWORD length);

__declspec(dllimport) void *__stdcall GetStdHandle(DWORD which);
__declspec(dllimport) BOOL __stdcall WriteFile(void *file, const void *data, DWORD size, DWORD *written, void *overlapped);
__declspec(dllimport) DWORD __stdcall GetEnvironmentVariableA(const char *name, char *value, DWORD size);
__declspec(dllimport) void __stdcall ExitProcess(unsigned code);

/* Without a C runtime: what the compiler may call or refer to. */
int _fltused = 0;
void *memset(void *target, int value, size_t size)
{
    volatile unsigned char *bytes = (unsigned char *)target;
    while (size--)
        *bytes++ = (unsigned char)value;
    return target;
}

static void say(const char *text)
{
    DWORD length = 0, written;
    while (text[length])
        ++length;
    WriteFile(GetStdHandle((DWORD)-11), text, length, &written, NULL);
}

static int equal(const char *a, const char *b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

static char *appendNumber(char *out, unsigned value)
{
    char digits[10];
    int n = 0;
    do digits[n++] = (char)('0' + value % 10); while (value /= 10);
    while (n)
        *out++ = digits[--n];
    return out;
}

#define FRAMES 256
static float block[2 * FRAMES];
static TALVEN_PARAMETERINFO parameter;
static TALVEN_INFO info;
static TALVEN_CLASSINFO classes[4];
static char path[1024], expectedVersion[32], version[32], text[64];
static uint32_t produced;

static DWORD __stdcall source(DWORD handle, void *buffer, DWORD length, void *user)
{
    float *samples = (float *)buffer;
    DWORD j;
    (void)handle, (void)user;
    for (j = 0; j < length / sizeof(float); ++j)
        samples[j] = (float)(produced++ % 101) / 128.0f;
    return length;
}

static void TALVEN_CALL heardEdit(uint32_t handle, uint32_t id, double value, void *user)
{
    (void)handle, (void)id, (void)value, (void)user;
}

static int check(int condition, const char *what)
{
    if (!condition) {
        say("FAIL: ");
        say(what);
        say("\n");
    }
    return condition;
}

static int run(void)
{
    uint32_t v = TALVEN_GetVersion(), handle, second;
    DWORD stream, first, j;
    double value = -1;
    int32_t width = 0, height = 0;
    char *end = version;

    end = appendNumber(end, v >> 24), *end++ = '.';
    end = appendNumber(end, v >> 16 & 0xFF), *end++ = '.';
    end = appendNumber(end, v >> 8 & 0xFF), *end++ = '.';
    end = appendNumber(end, v & 0xFF), *end = 0;
    if (!check(GetEnvironmentVariableA("TALVEN_PLUGIN", path, sizeof path) > 0, "TALVEN_PLUGIN set") ||
        !check(GetEnvironmentVariableA("TALVEN_VERSION", expectedVersion, sizeof expectedVersion) > 0,
               "TALVEN_VERSION set") ||
        !check(equal(version, expectedVersion), "the package's version"))
        return 1;
    TALVEN_SetTrace(0);

    if (!check(BASS_Init(0, 48000, 0, NULL, NULL), "BASS_Init"))
        return 1;
    stream = BASS_StreamCreate(48000, 2, 256 /* float */ | 0x200000 /* decode */, source, NULL);
    handle = TALVEN_ChannelSetDSP(stream, path, 0, 0, 0, 0, 0, NULL, NULL);
    if (!check(stream && handle, "attached"))
        return 1;

    first = produced;
    if (!check(BASS_ChannelGetData(stream, block, sizeof block) == sizeof block, "a block"))
        return 1;
    for (j = 0; j < 2 * FRAMES; ++j) {
        if (!check(block[j] == (float)((first + j) % 101) / 128.0f * 0.5f, "the plug-in halved the block"))
            return 1;
    }

    /* Struct layouts as this compiler lays them out. */
    info.size = sizeof info;
    classes[0].size = sizeof classes[0];
    if (!check(TALVEN_GetParamCount(handle) == 1, "one parameter") ||
        !check(TALVEN_GetParamInfo(handle, 0, &parameter) == 0, "its description") ||
        !check(parameter.title[0] == 'G' && parameter.title[4] == 0 && parameter.stepCount == 0 &&
                   parameter.defaultNormalizedValue == TALVEN_GetParam(handle, parameter.id),
               "Gain, continuous, at its default") ||
        !check(TALVEN_GetInfo(handle, &info) && info.outputChannels == 2 && info.parameterCount == 1 &&
                   info.plugin.size == sizeof info.plugin && info.plugin.classId[32] == 0,
               "TALVEN_GetInfo") ||
        !check(TALVEN_GetModuleClasses(path, classes, 4) >= 1 && equal(classes[0].name, info.plugin.name),
               "TALVEN_GetModuleClasses"))
        return 1;

    /* Every other export, once. */
    if (!check(TALVEN_SetParam(handle, parameter.id, 0.25f) == 0, "TALVEN_SetParam") ||
        !check(TALVEN_GetParamText(handle, parameter.id, -1, text, sizeof text) == 1 && text[0],
               "TALVEN_GetParamText") ||
        !check(TALVEN_GetParamValueFromText(handle, parameter.id, text, &value) == 1 && value >= 0,
               "TALVEN_GetParamValueFromText") ||
        !check(TALVEN_SetParamCallback(handle, heardEdit, NULL) == 1, "TALVEN_SetParamCallback") ||
        !check(TALVEN_SetTransport(handle, 100.0, 7, 8) == 1, "TALVEN_SetTransport") ||
        !check(TALVEN_SetBypass(handle, 1) == 1 && TALVEN_GetBypass(handle) == 1, "bypass") ||
        !check(TALVEN_StorePreset("consumer.vstpreset", 0, handle) == 1, "TALVEN_StorePreset") ||
        !check(TALVEN_RecallPreset("consumer.vstpreset", handle) == 1, "TALVEN_RecallPreset") ||
        !check(TALVEN_ShowEditor(handle, 0, 0, 0, NULL, NULL) == 1, "TALVEN_ShowEditor") ||
        !check(TALVEN_SetEditorCallback(handle, NULL, NULL) == 1, "TALVEN_SetEditorCallback") ||
        !check(TALVEN_EmbedEditor(handle, NULL) == 1, "TALVEN_EmbedEditor") ||
        !check(TALVEN_GetEditorSize(handle, &width, &height) == 0, "TALVEN_GetEditorSize, no view shown") ||
        !check(TALVEN_SetEditorSize(handle, &width, &height) == 0, "TALVEN_SetEditorSize, no view shown") ||
        !check(TALVEN_ChannelRemoveDSP(stream, handle) == 1, "TALVEN_ChannelRemoveDSP"))
        return 1;
    second = TALVEN_ChannelSetDSPEx(stream, path, 0, 0, NULL, 0, 0, 0, 0, 0, NULL, NULL);
    handle = TALVEN_ChannelSetDSPClass(stream, path, classes[0].classId, 1, 0, 0, 0, NULL, NULL);
    {
        /* The probe is an effect: no instrument stream of it, and nothing to
           take events. */
        uint32_t instrument = 7;
        const TALVEN_MIDI_EVENT note = {0, 0x90, 60, 100, 0, 0, NULL};
        if (!check(TALVEN_StreamCreate(48000, 2, path, NULL, 0, &instrument) == 0 && instrument == 0,
                   "TALVEN_StreamCreate") ||
            !check(sizeof(TALVEN_MIDI_EVENT) == 24 && TALVEN_StreamEvents(second, TALVEN_EVENTS_STRUCT, &note, 1) == -1,
                   "TALVEN_StreamEvents"))
            return 1;
    }
    {
        /* In a process of its own: talven-host from beside the library in
           the package, halving the same signal. */
        static const TALVEN_ATTACH none;
        TALVEN_ATTACH attach = none;
        DWORD apart = BASS_StreamCreate(48000, 2, 256 | 0x200000, source, NULL);
        uint32_t isolated;
        attach.size = sizeof attach;
        attach.path = path;
        attach.flags = TALVEN_ATTACH_ISOLATED;
        isolated = TALVEN_ChannelSetDSPWith(apart, &attach);
        first = produced;
        if (!check(isolated != 0 && TALVEN_GetStatus(isolated) == TALVEN_STATUS_RUNNING, "TALVEN_ChannelSetDSPWith") ||
            !check(TALVEN_SetStatusCallback(isolated, NULL, NULL) == 1, "TALVEN_SetStatusCallback") ||
            !check(BASS_ChannelGetData(apart, block, sizeof block) == sizeof block, "an isolated block"))
            return 1;
        for (j = 0; j < 2 * FRAMES; ++j) {
            if (!check(block[j] == (float)((first + j) % 101) / 128.0f * 0.5f, "the isolated plug-in halved the block"))
                return 1;
        }
        if (!check(TALVEN_ChannelFree(apart) == 1 && TALVEN_GetStatus(isolated) == -1, "the isolated plug-in freed"))
            return 1;
    }
    if (!check(second && handle && second != handle, "TALVEN_ChannelSetDSPEx and TALVEN_ChannelSetDSPClass") ||
        !check(TALVEN_ChannelFree(stream) == 1 && TALVEN_GetParamCount(handle) == 0, "TALVEN_ChannelFree") ||
        !check(BASS_Free(), "BASS_Free"))
        return 1;
    say("called every export through talven.lib\n");
    return 0;
}

void start(void)
{
    ExitProcess((unsigned)run());
}
