// The plain C functions the EditorEffect test plug-in exports for tests,
// looked up by name with the platform's symbol lookup.
#pragma once

// How the plug-in's editor behaves; a test sets it before the host asks for a
// view. Views made earlier follow it too.
typedef struct TalvenEditorOptions {
    int offerView;          // createView("editor") answers a view; else null
    int width, height;      // the view's size at creation
    int canResize;          // canResize answers kResultTrue; else kResultFalse
    int maxWidth;           // checkSizeConstraint caps the width (0: no cap)
    int refuseSizes;        // checkSizeConstraint refuses every size but the current
    int getSizeFails;       // getSize answers kResultFalse
    int removedFails;       // removed answers kResultFalse and stays attached
    int platformSupported;  // isPlatformTypeSupported says yes to the native type
    int resizeFromOnSize;   // onSize asks resizeView for 10 more in each direction
} TalvenEditorOptions;

// With TALVEN_PROBE_SHARED naming a folder, what these controls steer and
// read lives in a file there that every process loading the plug-in maps
// (talven-host's too): the calls below that act on the newest view then reach
// a view of another process, made on that view's own thread.

// Restores the defaults (a 400 x 300 view that is offered, fixed size, no cap,
// supports the platform) and empties the log and the events.
#define TALVEN_EDITOR_RESET "TalvenEditorReset"
typedef void (*TalvenEditorResetProc)(void);

#define TALVEN_EDITOR_CONFIGURE "TalvenEditorConfigure"
typedef void (*TalvenEditorConfigureProc)(const TalvenEditorOptions* options);

// Copies the log ("call\n" per call the host made on the editor: createView,
// isPlatformTypeSupported, setFrame, attached, removed, onSize, canResize,
// checkSizeConstraint, setContentScaleFactor, and the view's own resizeView
// requests with their results) into buffer, zero-terminated and cut to
// capacity; returns the full length.
#define TALVEN_EDITOR_READ_LOG "TalvenEditorReadLog"
typedef int (*TalvenEditorReadLogProc)(char* buffer, int capacity);

#define TALVEN_EDITOR_CLEAR_LOG "TalvenEditorClearLog"
typedef void (*TalvenEditorClearLogProc)(void);

// The newest live view asks its frame for a new size of width x height;
// returns the frame's result, or -1 without a view or frame. Called on the
// view's thread, or from a process without views of its own (it then waits
// for the view's thread).
#define TALVEN_EDITOR_REQUEST_RESIZE "TalvenEditorRequestResize"
typedef int (*TalvenEditorRequestResizeProc)(int width, int height);

// Views that exist now (made and not yet released), in every process.
#define TALVEN_EDITOR_LIVE_VIEWS "TalvenEditorLiveViews"
typedef int (*TalvenEditorLiveViewsProc)(void);

// The native child window of the newest live view, or null (not attached,
// or a platform where the view makes none).
#define TALVEN_EDITOR_CHILD_WINDOW "TalvenEditorChildWindow"
typedef void* (*TalvenEditorChildWindowProc)(void);

// Asks the newest live view's frame for IPlugFrame and for FUnknown: 1 when
// both answer kResultOk with the frame the view was given, 0 when not, -1
// without a view or frame. Threads as TalvenEditorRequestResize.
#define TALVEN_EDITOR_FRAME_ANSWERS_ITSELF "TalvenEditorFrameAnswersItself"
typedef int (*TalvenEditorFrameAnswersItselfProc)(void);

// Ticks of the timers the views registered in the host's run loop (Linux;
// 0 elsewhere).
#define TALVEN_EDITOR_RUN_LOOP_TICKS "TalvenEditorRunLoopTicks"
typedef int (*TalvenEditorRunLoopTicksProc)(void);

// Asks the newest live view to edit parameter id to value (normalized) as a
// user turning its knob would: beginEdit, performEdit, endEdit through the
// controller's component handler, from the view's own thread (the window's
// thread on Windows, the run loop's on Linux), soon after. Returns 1, or 0
// without a live attached view.
#define TALVEN_EDITOR_REQUEST_EDIT "TalvenEditorRequestEdit"
typedef int (*TalvenEditorRequestEditProc)(unsigned id, double value);

// What the observer below hears, recorded as well with the thread it came on
// (TalvenEditorThreadToken's answer there), up to 4096 events.
typedef struct TalvenEditorEvent {
    char name[32];
    unsigned long long thread;
} TalvenEditorEvent;

// Copies up to capacity events, oldest first; returns how many there are.
#define TALVEN_EDITOR_READ_EVENTS "TalvenEditorReadEvents"
typedef int (*TalvenEditorReadEventsProc)(TalvenEditorEvent* events, int capacity);

#define TALVEN_EDITOR_CLEAR_EVENTS "TalvenEditorClearEvents"
typedef void (*TalvenEditorClearEventsProc)(void);

// The calling thread, as the events name threads: unique across processes.
#define TALVEN_EDITOR_THREAD_TOKEN "TalvenEditorThreadToken"
typedef unsigned long long (*TalvenEditorThreadTokenProc)(void);

// Called as the host attaches a view (attached), as the view's run-loop timer
// first ticks (timer, Linux), as the host removes a view (removed), asks the
// controller for its state or gives it one (controller getState, controller
// setState) and terminates the plug-in's controller (terminate), on the
// thread each happens on; the test program's own code, so that it outlives the plug-in's module.
// Null stops the calls; a reset does too.
typedef void (*TalvenEditorEventProc)(const char* event);
#define TALVEN_EDITOR_OBSERVE "TalvenEditorObserve"
typedef void (*TalvenEditorObserveProc)(TalvenEditorEventProc observer);
