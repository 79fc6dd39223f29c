#include "platform/ReportScope.h"

#include <atomic>
#include <utility>
#include <vector>

namespace talven {
namespace {

struct Waiting {
    std::shared_ptr<ReportReceiver> receiver;
    std::uint32_t id;
    double value;
};
using WaitingList = std::vector<Waiting>;

// Plain thread-locals: one with a destructor would keep the library mapped
// at dlclose. The list is made on the first deferred report and freed by the
// delivery that empties it.
thread_local int depth = 0;
thread_local WaitingList* waiting = nullptr;

std::atomic<ReportScope::Waker> waker{nullptr};

// Hands every waiting report to its callback, oldest first; reports made by
// those callbacks (through library functions, which open scopes of their own)
// are delivered by the same loop.
void deliverWaiting() noexcept
{
    while (waiting) {
        WaitingList* batch = std::exchange(waiting, nullptr);
        for (const Waiting& report : *batch)
            report.receiver->deliverNow(report.id, report.value);
        delete batch;
    }
}

} // namespace

ReportScope::ReportScope() noexcept
{
    ++depth;
}

ReportScope::~ReportScope()
{
    if (--depth > 0 || !waiting)
        return;
    // Counted as open while delivering: a report from inside a callback waits
    // for this loop instead of nesting another delivery.
    ++depth;
    deliverWaiting();
    --depth;
}

bool ReportScope::active() noexcept
{
    return depth > 0;
}

void ReportScope::defer(std::shared_ptr<ReportReceiver> receiver, std::uint32_t id, double value)
{
    if (!waiting)
        waiting = new WaitingList;
    waiting->push_back({std::move(receiver), id, value});
}

void ReportScope::setWaker(Waker given) noexcept
{
    waker.store(given);
}

bool ReportScope::wakeLater() noexcept
{
    const Waker wake = waker.load();
    return wake && wake();
}

} // namespace talven
