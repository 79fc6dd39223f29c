#include "BlockThreadPriority.h"

#include <pthread.h>
#include <sched.h>

namespace talven::host {

void raiseBlockThreadPriority()
{
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
}

} // namespace talven::host
