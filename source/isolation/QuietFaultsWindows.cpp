#include "isolation/QuietFaults.h"

#include <csignal>
#include <windows.h>

namespace talven {
namespace {

LONG WINAPI endProcess(EXCEPTION_POINTERS* exception)
{
    TerminateProcess(GetCurrentProcess(), exception ? exception->ExceptionRecord->ExceptionCode : 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

void endOnAbort(int)
{
    TerminateProcess(GetCurrentProcess(), 3);
}

} // namespace

void endQuietlyOnFault()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endProcess);
    // abort() would show the runtime's message box first.
    std::signal(SIGABRT, endOnAbort);
}

} // namespace talven
