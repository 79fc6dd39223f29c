#include "host/RestartRequests.h"

namespace talven {
namespace {
// The requests whose Cycle runs on this thread.
thread_local RestartRequests* cycleRequests = nullptr;
}

void RestartRequests::request(std::int32_t flags)
{
    flags &= kResetFlags;
    if (cycleRequests == this)
        askedInCycle_ |= flags;
    else
        pending_.fetch_or(flags, std::memory_order_acq_rel);
}

RestartRequests::Cycle::Cycle(RestartRequests& requests) noexcept : requests_(requests)
{
    requests_.askedInCycle_ = 0;
    cycleRequests = &requests_;
}

RestartRequests::Cycle::~Cycle()
{
    cycleRequests = nullptr;
    const std::int32_t unanswered = requests_.askedInCycle_ & ~answered_;
    requests_.askedInCycle_ = 0;
    if (unanswered != 0)
        requests_.request(unanswered);
}

} // namespace talven
