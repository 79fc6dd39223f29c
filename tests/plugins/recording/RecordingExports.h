// The plain C functions every recording plug-in exports for tests, looked
// up by name with the platform's symbol lookup.
#pragma once

// Copies the call log ("call@thread\n" per call) into buffer, zero-terminated
// and cut to capacity; returns the full length.
#define TALVEN_TEST_READ_CALLS "TalvenTestReadCalls"
typedef int (*TalvenTestReadCallsProc)(char* buffer, int capacity);

#define TALVEN_TEST_CLEAR_CALLS "TalvenTestClearCalls"
typedef void (*TalvenTestClearCallsProc)(void);

// The OS id of the calling thread, as the log writes it.
#define TALVEN_TEST_THREAD_TAG "TalvenTestThreadTag"
typedef unsigned long long (*TalvenTestThreadTagProc)(void);

// The newest live controller brackets one edit of parameter id with
// beginEdit, performEdit and endEdit on its component handler and stores the
// three results; -1 without a controller or handler, else 0.
#define TALVEN_TEST_CONTROLLER_EDIT "TalvenTestControllerEdit"
typedef int (*TalvenTestControllerEditProc)(unsigned id, double value, int* results);

// Sends a message with the given id from the newest live component
// (fromComponent 1) or controller (0) to its connected peer; the receiver
// records "notify <id>". Returns the send's result, -1 without a sender.
#define TALVEN_TEST_SEND_MESSAGE "TalvenTestSendMessage"
typedef int (*TalvenTestSendMessageProc)(int fromComponent, const char* id);

// The newest live controller asks its component handler for a restart with
// these flags; returns the handler's answer, -1 without a controller or
// handler.
#define TALVEN_TEST_REQUEST_RESTART "TalvenTestRequestRestart"
typedef int (*TalvenTestRequestRestartProc)(int flags);
