#include "BlockThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

namespace talven::host {

void raiseBlockThreadPriority()
{
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
    // Without real-time scheduling (it takes a privilege), the kernel may
    // end a timed sleep up to 50 µs late to group wake-ups; the block
    // thread wakes itself shortly before a block is due, so ask for none.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

} // namespace talven::host
