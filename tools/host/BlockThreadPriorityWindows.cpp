#include "BlockThreadPriority.h"

#include <windows.h>

namespace talven::host {

void raiseBlockThreadPriority()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

} // namespace talven::host
