/* What the EventRecorder test plug-ins noted, for test programs, which look
 * the functions up in the loaded module by name. */
#ifndef TALVEN_EVENT_RECORDER_EXPORTS_H
#define TALVEN_EVENT_RECORDER_EXPORTS_H

#include <stdint.h>

enum {
    TALVEN_RECORDED_NOTE_ON = 0,
    TALVEN_RECORDED_NOTE_OFF = 1,
    TALVEN_RECORDED_POLY_PRESSURE = 2,
    TALVEN_RECORDED_DATA = 3,
    TALVEN_RECORDED_PARAMETER = 4
};

/* One event or parameter point a process call received. */
typedef struct TalvenRecordedEvent {
    int32_t kind;      /* TALVEN_RECORDED_... */
    int32_t channel;   /* events */
    int32_t pitch;     /* notes, poly pressure */
    int32_t noteId;
    double value;      /* velocity, pressure, or the parameter's value */
    uint32_t id;       /* parameter id; data: its type */
    int32_t offset;    /* sample offset in the process call */
    int64_t frame;     /* the call's projectTimeSamples + offset */
    uint32_t size;     /* data: its size; the first bytes follow */
    uint8_t bytes[16];
} TalvenRecordedEvent;

/* The controller's MIDI mapping, for every channel c: CC 7 -> 100 + c,
 * channel pressure -> 200 + c, pitch bend -> 300 + c. CC 120 and 123 are not
 * mapped. Parameter 50 is the root unit's program-change parameter, with 7
 * steps (programs 0-7). */
#define TALVEN_RECORDER_VOLUME_BASE 100u
#define TALVEN_RECORDER_PRESSURE_BASE 200u
#define TALVEN_RECORDER_BEND_BASE 300u
#define TALVEN_RECORDER_PROGRAM 50u
#define TALVEN_RECORDER_PROGRAM_STEPS 7

typedef int32_t (*TalvenEventsReadProc)(TalvenRecordedEvent* out, int32_t capacity);
typedef void (*TalvenEventsResetProc)(void);

#endif
