/*
 * Talven: VST 3 effect plug-ins on BASS channels.
 *
 * Attach a plug-in to a channel with TALVEN_ChannelSetDSP; every block of the
 * channel's 32-bit float audio then passes through the plug-in, in place. The
 * handle it returns names the plug-in in every other call. Handles are
 * positive; 0 means "none" or failure.
 *
 * Plain C interface, callable from C99 and C++. Strings are NUL-terminated
 * UTF-8 (preset paths go to the C library's fopen unchanged). Results are
 * non-zero for success and 0 for failure, except TALVEN_GetParamInfo and
 * TALVEN_SetParam, which pass the plug-in's VST 3 result through (0, kResultOk,
 * is success). The library sets no error code of its own.
 *
 * Threads: every function may be called from any thread. On Windows the
 * editor's window belongs to the thread that showed it, which must dispatch
 * its messages; a detach or channel free on another thread leaves the
 * editor's close and the plug-in's release to that thread. On Linux, which
 * has no per-thread message queue, the library runs one editor thread of its
 * own for the process (see TALVEN_ShowEditor).
 */
#ifndef TALVEN_H
#define TALVEN_H

#include <stdint.h>

#ifdef _WIN32
#define TALVEN_CALL __stdcall
#else
#define TALVEN_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives the editor window's outer left and top edge in screen coordinates,
 * and closing = 1 when the window was hidden or closed, 0 when the user
 * finished moving or sizing it. Called on the window's thread: on Linux the
 * library's editor thread.
 * When TALVEN_ChannelRemoveDSP or TALVEN_ChannelFree closes the editor, the
 * closing report is made before that call returns if the window belongs to
 * the calling thread (on Windows the thread that showed it; on Linux a call
 * made from this callback, on the editor thread); otherwise (Linux from any
 * other thread, or a call from the audio thread) it is not made at all.
 * Either way no report of that attachment is made once the call returned,
 * so a program may free what the callback uses then. */
typedef void (TALVEN_CALL *TALVEN_POSITIONPROC)(int32_t left, int32_t top, int32_t closing);

/* A parameter's description: the layout of VST 3's ParameterInfo (792 bytes).
 * Texts are UTF-16, NUL-terminated within their 128 units. */
typedef struct TALVEN_PARAMETERINFO {
    uint32_t id;                   /* the id TALVEN_GetParam/TALVEN_SetParam take */
    uint16_t title[128];
    uint16_t shortTitle[128];
    uint16_t units[128];
    int32_t stepCount;             /* 0: continuous */
    double defaultNormalizedValue; /* 0 to 1 */
    int32_t unitId;
    int32_t flags;                 /* VST 3 ParameterInfo::ParameterFlags */
} TALVEN_PARAMETERINFO;

/* Attaches the first audio effect of the VST 3 plug-in at path (a module file
 * or a .vst3 package folder) to a BASS channel of float samples
 * (BASS_SAMPLE_FLOAT), or of any format while BASS's floating-point DSP is on
 * (BASS_CONFIG_FLOATDSP). Any other channel (BASS's default streams are
 * 16-bit) is refused with 0 and nothing attached; a block of such a channel
 * that arrives after float DSP was switched off passes untouched. priority
 * is the DSP priority given to BASS.
 * With showEditor non-zero the plug-in's editor is shown (editorX and editorY
 * both 0 centre it). reserved, reservedPointer, reserved2 and reserved3 are
 * ignored. The plug-in hears the channel's first channels, as many as its
 * main bus has; channels beyond its output pass through unchanged, and blocks
 * longer than 4096 frames reach it in pieces. Returns the instance handle, or
 * 0 when the plug-in could not be loaded or attached. */
uint32_t TALVEN_CALL TALVEN_ChannelSetDSPEx(uint32_t channel, const char *path, uint32_t reserved, int32_t priority,
                                            void *reservedPointer, uint32_t reserved2, uint32_t reserved3,
                                            uint8_t showEditor, int32_t editorX, int32_t editorY,
                                            TALVEN_POSITIONPROC positionCallback, const char *title);

/* TALVEN_ChannelSetDSPEx without the three reserved values in the middle. */
uint32_t TALVEN_CALL TALVEN_ChannelSetDSP(uint32_t channel, const char *path, uint32_t reserved, int32_t priority,
                                          uint8_t showEditor, int32_t editorX, int32_t editorY,
                                          TALVEN_POSITIONPROC positionCallback, const char *title);

/* Switches the plug-in off, closes its editor (on the editor's thread, see
 * TALVEN_ShowEditor) and detaches it from its channel; a block in progress
 * is finished first, and none follows once this returns. channel is ignored.
 * Returns 1, or 0 when handle names no instance (also after the channel was
 * freed, which detaches the plug-in by itself), when another detach of it is
 * under way (one called from a callback that detach makes, for example), or
 * from inside the plug-in's own processing. No library lock is held while
 * the editor's position callback runs: it may call any function. Once this
 * returns neither callback of the instance is called again (see
 * TALVEN_POSITIONPROC for the editor's closing report). Called on the audio
 * thread (from the parameter callback after a block), it switches nothing
 * off there: the plug-in is switched off and released by the next library
 * call on another thread, or at the library's unload. */
int32_t TALVEN_CALL TALVEN_ChannelRemoveDSP(uint32_t channel, uint32_t handle);

/* Frees a BASS stream (BASS_StreamFree) and returns its result; a plug-in
 * attached to it is taken down as the stream goes, as TALVEN_ChannelRemoveDSP
 * does, and none of its callbacks is called once this returns. */
int32_t TALVEN_CALL TALVEN_ChannelFree(uint32_t channel);

/* 1 while the plug-in is bypassed, else 0 (also for an unknown handle). */
int32_t TALVEN_CALL TALVEN_GetBypass(uint32_t handle);

/* Bypasses the plug-in (request non-zero: the channel's audio passes
 * untouched from the next block on, and the plug-in's processing is switched
 * off and the plug-in deactivated) or switches it back on (activated, then
 * processing on; the next block is processed again). Every non-zero request
 * means the same: asking for the current state succeeds and calls nothing in
 * the plug-in. Returns 1 on success; 0 for an unknown or detached handle, a
 * freed channel, or when the plug-in refused a step (a plug-in answering
 * "not implemented" to setProcessing is not refusing). After a refusal the
 * channel stays bypassed: a refused switch-on still bypasses it, and a
 * refused switch-back leaves the plug-in deactivated and bypassed. */
int32_t TALVEN_CALL TALVEN_SetBypass(uint32_t handle, int32_t request);

/* The parameter functions ask the plug-in's edit controller, on the calling
 * thread, while audio may run. They may be called from any threads at once:
 * a VST 3 edit controller expects one call at a time, so the library lets
 * one caller at a time into an instance's controller (its editor's thread
 * included) and the others wait; a detach on another thread is safe. For a
 * handle that names no instance, an instance already detached, or a plug-in
 * without an edit controller they reach no plug-in and give the failure
 * value noted on each. */

/* The plug-in's parameter count; 0 on failure. */
int32_t TALVEN_CALL TALVEN_GetParamCount(uint32_t handle);

/* Fills *info with the description of the parameter at index (0 to count-1).
 * Returns the plug-in's VST 3 result, 0 (kResultOk) when filled; *info is
 * changed only then. For a null info, an index outside 0 to count-1 (the
 * plug-in is not asked) and on failure it returns 1 (kResultFalse). */
int32_t TALVEN_CALL TALVEN_GetParamInfo(uint32_t handle, int32_t index, TALVEN_PARAMETERINFO *info);

/* The controller's normalized value (0 to 1) of the parameter with that id,
 * unnarrowed; 0 on failure. */
double TALVEN_CALL TALVEN_GetParam(uint32_t handle, uint32_t id);

/* Sets the normalized value of the parameter with that id in the plug-in's
 * controller and, once the controller accepted it, in its audio processor
 * from the next block on. value is clamped to 0..1 first. Returns the
 * controller's VST 3 result, 0 (kResultOk) on success; 1 (kResultFalse) for
 * a value that is not a number (nothing is set) and on failure. Up to 2047
 * changes (edits in the plug-in's editor included) wait for the next block;
 * further ones reach the controller but not the processor. */
int32_t TALVEN_CALL TALVEN_SetParam(uint32_t handle, uint32_t id, float value);

/* Stores the plug-in's state (its component's and its controller's) to a
 * VST 3 preset file at path, then loads it back into the plug-in. Values set
 * with TALVEN_SetParam (or in the editor) that wait for the next block are
 * handed to the plug-in first, so the file holds them. reserved is
 * ignored. A file already at path is replaced only by a whole new one.
 * Returns 1 when the file was written; 0 for an unknown or detached handle, a
 * null path, or a file that could not be written, and then a file already
 * there is left as it was. */
int32_t TALVEN_CALL TALVEN_StorePreset(const char *path, uint32_t reserved, uint32_t handle);

/* Recalls a VST 3 preset file stored for the same plug-in class: the
 * component's state, then the controller's. Values set before the recall
 * that still wait for the next block are dropped: the preset replaces them. path must be shorter than 1024
 * bytes. Returns 1 when the plug-in took the state; 0 for an unknown or
 * detached handle, or a path or file that cannot be used (missing, damaged,
 * stored for another plug-in), which applies nothing. */
int32_t TALVEN_CALL TALVEN_RecallPreset(const char *path, uint32_t handle);

/* visible non-zero: shows the plug-in's editor in a new window with its outer
 * top-left corner at x, y (both 0: centred on the primary screen), hiding one
 * shown before. title is UTF-8 (null: untitled; bytes that are not UTF-8 show
 * as U+FFFD). positionCallback, which may be null, then hears where that
 * window stands. visible 0: hides the editor. Returns 1, also when nothing
 * could be shown (a plug-in without an editor, a detached plug-in, no X
 * display on Linux), or 0 for an unknown handle. A view that does not go
 * into the window (it refuses the platform's window type, or its attached
 * fails) shows no window at all, not an empty one: TALVEN_GetInfo's hasEditor
 * then reads 0, until a later view of the plug-in does go into a window, and
 * the trace says so.
 *
 * Windows: the window belongs to the calling thread, which must dispatch its
 * messages; hide it on that thread. A detach or channel free (also BASS
 * freeing an auto-freeing stream) on another thread while the editor is open
 * does not wait: the editor's close and the plug-in's release (its
 * termination and its module's unload) are posted to the window's thread and
 * happen when it next dispatches messages, since the plug-in's view may only
 * be taken down there. If that thread has ended or the window is gone, they
 * happen on the calling thread; if it ends after they were handed to it, the
 * next attach, detach or TALVEN_ShowEditor call carries them out.
 *
 * Linux: the window is an X11 window on the library's editor thread, one per
 * process, which starts with the first editor, serves the plug-ins' run loop
 * and makes every call into their editor views, and ends when the last
 * editor window goes (a hidden editor keeps its window until the detach or
 * channel free). This call, from any thread, hands its work to that thread
 * and waits for it; a detach or channel free from any thread hands the
 * editor's close and the plug-in's release to it without waiting. The
 * position callback runs on the editor thread and may call any function
 * here, but must not wait for a thread that may be inside this call or an
 * attach with the editor: both would wait for ever. */
int32_t TALVEN_CALL TALVEN_ShowEditor(uint32_t handle, uint8_t visible, int32_t x, int32_t y,
                                      TALVEN_POSITIONPROC positionCallback, const char *title);

/* Attaches the plug-in's editor view as a child of the program's window: an
 * HWND on Windows, an X11 window id on Linux (cast to void*). NULL removes it.
 * 1 on success (also for a plug-in without an editor: nothing shown), 0 on
 * failure (unknown handle, not a window, an editor already shown in Talven's
 * own window: hide it first). The view sits in a child window of the
 * library's at the parent's top-left corner, of the view's size
 * (TALVEN_GetEditorSize): size the panel to it. A second call takes the view
 * out of the first window and puts a new one into the window given (a
 * refused call leaves the first in place); while a view is embedded
 * TALVEN_ShowEditor opens no window of its own. A parent destroyed by the program before the removal
 * or the detach takes the child along: the view is then released, and the
 * removal or detach has nothing left to do. A detach removes an embedded
 * view. Threads as TALVEN_ShowEditor: on Windows the child belongs to the
 * parent's thread (a call from another thread is handed to it and waited
 * for, so that thread must be dispatching messages); on Linux it lives on
 * the editor thread's own X connection, so create the parent on the server
 * (XFlush or XSync) before passing it. */
int32_t TALVEN_CALL TALVEN_EmbedEditor(uint32_t handle, void *parent);

/* The view's size in pixels: 1, or 0 when there is no view (none embedded
 * and none shown in Talven's own window). */
int32_t TALVEN_CALL TALVEN_GetEditorSize(uint32_t handle, int32_t *width, int32_t *height);

/* Asks the view to take this size (resizable views only; the size is held to
 * the view's constraints): 1 and the size taken in *width and *height, 0 when the
 * view cannot resize (or there is none). The child window takes the size;
 * no editor callback follows, the program asked for it. */
int32_t TALVEN_CALL TALVEN_SetEditorSize(uint32_t handle, int32_t *width, int32_t *height);

/* The editor callback: the instance, the embedded view's new size in pixels
 * and the program's pointer. */
typedef void (TALVEN_CALL *TALVEN_EDITORPROC)(uint32_t handle, int32_t width, int32_t height, void *user);

/* Called when the plug-in resized its embedded view by itself
 * (IPlugFrame::resizeView), after the child was resized, so the program can
 * resize its panel. NULL removes it. It runs on the view's thread (the
 * parent's thread on Windows, the editor thread on Linux) with no library
 * lock held, and may call any function here; none follows once the detach
 * or the call that removed it returned. 1, or 0 for an unknown handle. */
int32_t TALVEN_CALL TALVEN_SetEditorCallback(uint32_t handle, TALVEN_EDITORPROC callback, void *user);

/* ---- Beyond the BASS add-on interface above ---------------------------- */

/* The trace: every attach, detach, bypass switch and block of audio writes
 * time-stamped lines to "my_log.txt" in the current directory, opening and
 * closing it for each line. It is on from the start. enabled 0 stops every
 * line from every thread from the next line on (a program running for days
 * should: the audio path alone writes two lines per block); non-zero starts
 * them again. Returns the previous state, 1 on or 0 off; never fails. */
int32_t TALVEN_CALL TALVEN_SetTrace(int32_t enabled);

/* The library's version as 0xAABBCCDD: major, minor, revision, build. */
uint32_t TALVEN_CALL TALVEN_GetVersion(void);

/* What the structs below carry: strings are NUL-terminated UTF-8, always
 * terminated within their field, cut at a character boundary. The caller
 * sets size to sizeof the struct, so that the structs can grow later: a
 * size smaller than this header's struct is refused. */

/* The parameter callback's id when many parameters changed at once (the
 * plug-in asks the host to read them all again); value is then -1. */
#define TALVEN_ALL_PARAMETERS 0xFFFFFFFFu

typedef struct TALVEN_CLASSINFO {
    uint32_t size;             /* caller sets sizeof(TALVEN_CLASSINFO) */
    char name[128], vendor[128], version[64];
    char category[64];         /* "Audio Module Class", ... */
    char subCategories[128];   /* "Fx|EQ", ... */
    char sdkVersion[64];
    char classId[33];          /* 32 upper-case hexadecimal digits */
} TALVEN_CLASSINFO;

typedef struct TALVEN_INFO {
    uint32_t size;             /* caller sets sizeof(TALVEN_INFO) */
    TALVEN_CLASSINFO plugin;   /* the attached class (its size field filled too) */
    int32_t inputChannels;     /* channels of the main input bus, 0 when none */
    int32_t outputChannels;    /* channels of the main output bus */
    int32_t latencySamples;    /* the processor's latency now (see TALVEN_GetInfo) */
    uint32_t tailSamples;      /* 0xFFFFFFFF: infinite */
    int32_t hasEditor;         /* 1 when the plug-in offers an editor view; 0 after
                                  its view refused the editor window (TALVEN_ShowEditor) */
    int32_t parameterCount;
} TALVEN_INFO;

/* Hears the edits the plug-in makes itself (its editor, its own automation):
 * the parameter's id and new normalized value, or TALVEN_ALL_PARAMETERS and
 * -1 when it changed many at once. */
typedef void (TALVEN_CALL *TALVEN_PARAMPROC)(uint32_t handle, uint32_t id, double value, void *user);

/* Describes the plug-in attached under handle into *info (info->size set by
 * the caller). Returns 1, or 0 for an unknown or detached handle, a null
 * info or a size below sizeof(TALVEN_INFO).
 *
 * A plug-in that changes its latency or its buses asks the host to restart
 * it; the library does so at the start of the next TALVEN_GetInfo or
 * TALVEN_GetParam for the instance, on the caller's thread, or, while the
 * plug-in's editor is shown, on the editor's next tick (a few tens of
 * milliseconds later), never on the audio thread: called from the parameter
 * callback after a block, they leave the restart for the next such call on
 * another thread. The plug-in is switched
 * off and on again meanwhile and the blocks in between pass unprocessed. So
 * the latency and channel counts read here are the plug-in's as they stand
 * after every restart it asked for.
 *
 * latencySamples is only reported: BASS cannot hold the other channels back,
 * so the library delays nothing. A program that mixes this channel with
 * others, or draws what it plays, delays the other paths (or shifts its
 * display) by latencySamples itself, and asks again when the plug-in may
 * have changed it. */
int32_t TALVEN_CALL TALVEN_GetInfo(uint32_t handle, TALVEN_INFO *info);

/* Lists every class of the VST 3 module at path (a module file or a .vst3
 * package folder), in the factory's order, without making any instance:
 * fills min(count, capacity) entries of classes (classes[0].size set by the
 * caller gives every entry's size; null classes with capacity 0 only
 * counts). Returns the number of classes, or -1 for a path that names no
 * loadable module, text that is not UTF-8, a negative capacity, or a
 * classes[0].size below sizeof(TALVEN_CLASSINFO). */
int32_t TALVEN_CALL TALVEN_GetModuleClasses(const char *path, TALVEN_CLASSINFO *classes, int32_t capacity);

/* TALVEN_ChannelSetDSP for the class with that class ID (32 hexadecimal
 * digits, any case; TALVEN_CLASSINFO.classId gives it), or, with a null
 * classId, the first audio effect as TALVEN_ChannelSetDSP takes. A class ID
 * the module does not hold, or a class that is no audio effect, fails with 0
 * and leaves nothing behind. */
uint32_t TALVEN_CALL TALVEN_ChannelSetDSPClass(uint32_t channel, const char *path, const char *classId,
                                               int32_t priority, uint8_t showEditor, int32_t editorX, int32_t editorY,
                                               TALVEN_POSITIONPROC positionCallback, const char *title);

/* Sets (null: removes) the callback that hears the edits the plug-in makes
 * itself: each edit of its editor (performEdit), TALVEN_ALL_PARAMETERS with
 * -1 when it asks the host to read all values or titles again (heard at
 * once, on the thread it asked on), and the values its audio processor
 * reports back (meters such as a compressor's gain reduction, read-only
 * parameters). Those reach the plug-in's controller, and this callback, at
 * the start of the next TALVEN_GetParam or TALVEN_GetInfo for the instance,
 * on the caller's thread, and while its editor is shown on the editor's
 * tick, about 40 times a second; only the latest value of each parameter
 * counts. Values set with
 * TALVEN_SetParam are not reported back. The callback runs on the thread on
 * which the plug-in reported the edit (the editor's thread, or the audio
 * thread for a plug-in that reports from its processing, then after the
 * block), never while the library holds a lock: it may call any function, a
 * detach included. It is not called any more once the detach (or the
 * channel's free) has returned. Returns 1, or 0 for an unknown or detached
 * handle. */
int32_t TALVEN_CALL TALVEN_SetParamCallback(uint32_t handle, TALVEN_PARAMPROC callback, void *user);

/* A parameter's value as the plug-in itself shows it ("-12.0 dB", "Fast"),
 * through its controller's own conversion, as UTF-8 into text: size bytes,
 * always zero-terminated, cut at a character boundary when the text does not
 * fit (still 1). 385 bytes always hold the whole text (a plug-in's text is at
 * most 128 UTF-16 units, each at most 3 bytes of UTF-8, and the zero). value
 * is normalized (0 to 1); below 0 it means the parameter's current value.
 * Returns 1, or 0 for an unknown or detached handle, a null text, size below
 * 1, a value above 1 or not a number, or a plug-in that gives no text for it.
 * Like the other parameter functions, it may be called from any thread. */
int32_t TALVEN_CALL TALVEN_GetParamText(uint32_t handle, uint32_t id, double value, char *text, int32_t size);

/* The normalized value the plug-in reads out of text (UTF-8, at most 127
 * UTF-16 units), through its controller's own conversion, into *value.
 * Returns 1, or 0 (and *value unchanged) for an unknown or detached handle,
 * a null text or value, text that is not UTF-8 or too long, or a plug-in
 * that cannot read it. */
int32_t TALVEN_CALL TALVEN_GetParamValueFromText(uint32_t handle, uint32_t id, const char *text, double *value);

/* The musical context the plug-in is told with every block: tempo in beats
 * per minute (1 to 999) and the time signature numerator/denominator
 * (numerator 1 to 64, denominator a power of two from 1 to 64). Until this
 * is called an instance plays at 120 BPM in 4/4. The change reaches the next
 * block. Returns 1, or 0 (and nothing changed) for an unknown or detached
 * handle or a value outside those ranges.
 *
 * Each block is also told the channel's sample rate; its project time, the
 * channel's decoding position in frames at the block's first frame (what
 * BASS_ChannelGetPosition with BASS_POS_BYTE | BASS_POS_DECODE gives, so a
 * seek moves it, and the musical position in quarter notes and the start of
 * its bar follow from it and the tempo); and its continuous time, the frames
 * processed since the plug-in was last switched on, which a seek does not
 * move. The transport always reads as playing. */
int32_t TALVEN_CALL TALVEN_SetTransport(uint32_t handle, double tempo, int32_t numerator, int32_t denominator);

/* The plug-in's whole state in memory: the same bytes that TALVEN_StorePreset
 * writes to a file (a VST 3 preset with the component's and the controller's
 * state), made the same way (values set before still reach it, the plug-in
 * takes the state back) and never written to disk. data NULL or capacity
 * smaller than the state: returns the size needed and writes nothing (the
 * state is made afresh on each call). Otherwise returns the size written;
 * -1 for an unknown or detached handle or a plug-in that could not give its
 * state. */
int32_t TALVEN_CALL TALVEN_GetState(uint32_t handle, void *data, int32_t capacity);

/* Loads a state made by TALVEN_GetState, or the bytes of a preset file of the
 * same plug-in class (another host's too: component state alone or with the
 * controller's, with or without meta-information, chunks in any order), with
 * every check and effect of TALVEN_RecallPreset: values set before that
 * still wait for the next block are dropped, meta-information is written
 * again by the stores that follow. Returns 1, or 0 with nothing changed for
 * damaged data, another class's state, a null data or size below 1, or an
 * unknown or detached handle. */
int32_t TALVEN_CALL TALVEN_SetState(uint32_t handle, const void *data, int32_t size);

/* Programs of the plug-in's root unit: its program list and the parameter
 * flagged as program change. A plug-in with such a parameter but no list has
 * a program per step of it, named by the parameter's value texts; one with a
 * list but no such parameter has names but no current program and none can
 * be selected. The number of programs; 0 for none or an unknown handle. */
int32_t TALVEN_CALL TALVEN_GetProgramCount(uint32_t handle);

/* The name of program index (0 to count-1) as UTF-8 into name, size bytes
 * with the terminating zero, cut at a character boundary. Returns 1, or 0
 * for an unknown handle, an index outside the programs, a null name or size
 * below 1. */
int32_t TALVEN_CALL TALVEN_GetProgramName(uint32_t handle, int32_t index, char *name, int32_t size);

/* The program the plug-in's program-change parameter stands at; -1 without
 * one or for an unknown handle. */
int32_t TALVEN_CALL TALVEN_GetProgram(uint32_t handle);

/* Selects program index: the program-change parameter is set as
 * TALVEN_SetParam sets a parameter (index/(count-1), the controller first),
 * so the processor takes the program with its next block. The values of the
 * parameters the program changed reach the parameter callback. Returns 1, or
 * 0 with nothing changed for an unknown handle, an index outside the
 * programs or a plug-in whose programs cannot be selected. */
int32_t TALVEN_CALL TALVEN_SetProgram(uint32_t handle, int32_t index);

/* Feeds channel's audio (after its own DSPs of higher priority than
 * priority) into the plug-in's first auxiliary audio input bus, its
 * side-chain input, which is activated for it (and carries silence
 * otherwise). A mono channel is heard on every channel of the bus, a wider
 * one on a mono bus as the mean of its channels. Decoding channels pulled in
 * step (the same frame positions) meet frame for frame; a playing
 * side-chain is at most one BASS update period late. A side-chain channel
 * stopped or freed leaves silence; the plug-in goes on. channel 0 removes
 * the side-chain (the bus gets silence again). Returns 1, or 0 with nothing
 * changed for an unknown handle, a plug-in without an auxiliary input, a
 * channel that does not exist, the plug-in's own channel, a channel of
 * another sample rate, or a channel of 8- or 16-bit data without
 * BASS_CONFIG_FLOATDSP. */
int32_t TALVEN_CALL TALVEN_SetSidechain(uint32_t handle, uint32_t channel, int32_t priority);

/* ---- Instruments and MIDI ------------------------------------------------ */

#define TALVEN_EVENTS_RAW    0       /* raw MIDI 1.0 bytes, running status allowed */
#define TALVEN_EVENTS_STRUCT 1       /* an array of TALVEN_MIDI_EVENT */
#define TALVEN_EVENTS_TIME   0x10000 /* flag, with TALVEN_EVENTS_STRUCT only: each event's frame is used */

typedef struct TALVEN_MIDI_EVENT {
    uint64_t frame;     /* with TALVEN_EVENTS_TIME: the stream's decoding position in frames; else ignored */
    uint8_t  status;    /* 0x80..0xEF channel messages, 0xF0 system exclusive */
    uint8_t  data1, data2;
    uint8_t  reserved;
    uint32_t size;      /* system exclusive: bytes at data (F0 ... F7); else 0 */
    const uint8_t *data;
} TALVEN_MIDI_EVENT;

/* A float BASS stream rendered by a VST 3 instrument (classId NULL: the
 * module's first instrument; else 32 hexadecimal digits naming an instrument
 * class). freq 8000-384000 Hz, chans 1-8 (the instrument's output bus is
 * negotiated for that layout, as for effects). flags: BASS stream flags
 * (BASS_STREAM_DECODE, BASS_STREAM_AUTOFREE; BASS_SAMPLE_FLOAT is implied).
 * Returns the HSTREAM (0 on failure, nothing left behind) and, when handle is
 * not NULL, the Talven handle of the instrument for every handle function
 * (parameters, presets, editor, info, bypass: bypassed, the stream is
 * silent). The stream never ends by itself; effects attach to it with
 * TALVEN_ChannelSetDSP. Freeing it (BASS_StreamFree, TALVEN_ChannelFree,
 * auto-free, or TALVEN_ChannelRemoveDSP with the Talven handle) releases the
 * instrument. TALVEN_ChannelSetDSP and TALVEN_ChannelSetDSPClass refuse
 * instruments. */
uint32_t TALVEN_CALL TALVEN_StreamCreate(uint32_t freq, uint32_t chans, const char *path, const char *classId,
                                         uint32_t flags, uint32_t *handle);

/* Events for an instrument, or for an effect whose plug-in has an event
 * input. mode TALVEN_EVENTS_RAW: length bytes of MIDI 1.0; TALVEN_EVENTS_STRUCT
 * (optionally | TALVEN_EVENTS_TIME): length TALVEN_MIDI_EVENTs. Note on/off
 * and polyphonic pressure become VST 3 events, system exclusive a DataEvent;
 * controllers, channel pressure and pitch bend become parameter changes
 * through the plug-in's MIDI mapping, a program change goes to the
 * program-change parameter (once delivered, TALVEN_GetParam reads the value
 * and the parameter callback hears it, as for values the plug-in reports
 * itself); CC 120/123 without a mapping end the sounding
 * notes; messages with nowhere to go are dropped. Without TALVEN_EVENTS_TIME
 * events take effect at the start of the next block, in order; with it at
 * exactly their frame (one already past: the next block's start). Up to
 * 4096 events and 64 KiB of system exclusive wait per plug-in: beyond that
 * the call takes what fits. Any thread. Returns the number of events taken
 * (messages, for raw bytes), -1 on failure (unknown handle, no event input,
 * bad mode, null events with a length, a malformed event: then none is
 * taken). */
int32_t TALVEN_CALL TALVEN_StreamEvents(uint32_t handle, uint32_t mode, const void *events, uint32_t length);

/* ---- Plug-ins in a process of their own --------------------------------- */

/* Attaches as TALVEN_ChannelSetDSPEx does, with the options in a record
 * (size set to sizeof(TALVEN_ATTACH)). With TALVEN_ATTACH_ISOLATED in flags
 * the plug-in runs in a process of its own, talven-host (talven-host.exe
 * beside talven.dll; beside libtalven.so on Linux): a crash, an abort or a
 * hang of the plug-in ends that process, never the program. Each block goes
 * there through shared memory and back; a block the process does not give
 * back within the block's own duration plays dry (so do the blocks that
 * come while it is still late, without a wait), and once it has missed 16
 * blocks and two seconds of audio in a row, or when the process has ended
 * (it is ended in the first case), the attachment's status turns to
 * TALVEN_STATUS_CRASHED: every later block plays dry without waiting, the
 * handle's other functions fail (0 or -1), and TALVEN_ChannelRemoveDSP takes
 * it off. Every handle function works on an isolated attachment as on
 * another, with the same results, but TALVEN_SetSidechain and
 * TALVEN_StreamEvents, which refuse it (0, -1), and TALVEN_EmbedEditor on
 * Windows, where a window of the program cannot parent one of another
 * process (0). Its callbacks (parameter, position, editor, status) run on a
 * thread of the library's, one at a time; those the plug-in made during a
 * call have run when the call returns. It writes no trace lines. The block's project time counts the
 * frames the plug-in has processed, not the channel's position: a seek does
 * not move it. Returns the handle, or 0 (nothing left behind: no process) for
 * the failures of TALVEN_ChannelSetDSPEx, a null attach or path, a size
 * below sizeof(TALVEN_ATTACH), or a talven-host that could not be started.
 * classId NULL attaches the module's first audio effect, as
 * TALVEN_ChannelSetDSPClass with a class does otherwise. */
#define TALVEN_ATTACH_ISOLATED 1
typedef struct TALVEN_ATTACH {
    uint32_t size;            /* sizeof(TALVEN_ATTACH) */
    const char *path;         /* UTF-8, as TALVEN_ChannelSetDSP */
    const char *classId;      /* NULL: the first effect */
    int32_t priority;
    uint32_t flags;           /* TALVEN_ATTACH_ISOLATED */
    uint8_t showEditor; int32_t editorX, editorY;
    TALVEN_POSITIONPROC positionCallback; const char *title;
} TALVEN_ATTACH;
uint32_t TALVEN_CALL TALVEN_ChannelSetDSPWith(uint32_t channel, const TALVEN_ATTACH *attach);

#define TALVEN_STATUS_RUNNING 0
#define TALVEN_STATUS_CRASHED 1   /* the plug-in's process ended or stopped answering */
/* TALVEN_STATUS_RUNNING or TALVEN_STATUS_CRASHED (an in-process attachment is
 * always running); -1: unknown handle. */
int32_t TALVEN_CALL TALVEN_GetStatus(uint32_t handle);
/* Called once, on a thread of the library's, when an isolated attachment's
 * status turns to TALVEN_STATUS_CRASHED; it may call any function, a detach
 * included. NULL removes it. Never called for an in-process attachment, nor
 * once the detach (or the channel's free) has returned. Returns 1, or 0 for
 * an unknown handle. */
typedef void (TALVEN_CALL *TALVEN_STATUSPROC)(uint32_t handle, int32_t status, void *user);
int32_t TALVEN_CALL TALVEN_SetStatusCallback(uint32_t handle, TALVEN_STATUSPROC callback, void *user);

#ifdef __cplusplus
}
#endif

#endif /* TALVEN_H */
