#include "platform/LoadHooks.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        talven::onLibraryLoad();
        break;
    case DLL_PROCESS_DETACH:
        // A non-null reserved argument means the process is ending: every
        // other thread is already gone, perhaps in the middle of holding one
        // of the library's locks, and the system takes back memory, timers
        // and modules. Tearing down then could only hang, so only a
        // FreeLibrary tears down.
        if (!reserved)
            talven::onLibraryUnload();
        break;
    default:
        break; // thread attach and detach need nothing
    }
    return TRUE;
}
