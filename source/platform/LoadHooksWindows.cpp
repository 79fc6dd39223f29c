#include "platform/LoadHooks.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        talven::onLibraryLoad();
        break;
    case DLL_PROCESS_DETACH:
        talven::onLibraryUnload();
        break;
    default:
        break; // thread attach and detach need nothing
    }
    return TRUE;
}
