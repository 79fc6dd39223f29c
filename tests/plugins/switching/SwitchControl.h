// The test control of the Switching plug-in, looked up by name.
#pragma once

// The next call named call ("setActive 1", "setActive 0", "setProcessing 1",
// "setProcessing 0") answers result instead of its usual answer and changes
// nothing. Any thread.
#define TALVEN_TEST_FAIL_NEXT "TalvenTestFailNext"
typedef void (*TalvenTestFailNextProc)(const char* call, int result);
