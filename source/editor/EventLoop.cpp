#include "editor/EventLoop.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

namespace talven {
namespace {

std::atomic<std::uint64_t> loopsMade{0};

} // namespace

EventLoop::EventLoop() : serial_(++loopsMade) {}

EventLoop::~EventLoop() = default;

EventLoop::Id EventLoop::add(Entry entry)
{
    const Id id = nextId_++;
    entries_.emplace(id, std::move(entry));
    return id;
}

EventLoop::Id EventLoop::watchFd(int fd, Callback onReadable)
{
    Entry entry;
    entry.kind = Kind::Fd;
    entry.fd = fd;
    entry.callback = std::make_shared<Callback>(std::move(onReadable));
    return add(std::move(entry));
}

EventLoop::Id EventLoop::startTimer(std::chrono::milliseconds interval, Callback onTick)
{
    Entry entry;
    entry.kind = Kind::Timer;
    entry.interval = std::max(interval, std::chrono::milliseconds(1));
    entry.due = Clock::now() + entry.interval;
    entry.callback = std::make_shared<Callback>(std::move(onTick));
    return add(std::move(entry));
}

EventLoop::Id EventLoop::beforeEachWait(Callback prepare)
{
    Entry entry;
    entry.kind = Kind::BeforeWait;
    entry.callback = std::make_shared<Callback>(std::move(prepare));
    return add(std::move(entry));
}

void EventLoop::remove(Id id)
{
    entries_.erase(id);
}

std::size_t EventLoop::timerCount() const
{
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return e.second.kind == Kind::Timer; }));
}

std::size_t EventLoop::fdCount() const
{
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const auto& e) { return e.second.kind == Kind::Fd; }));
}

void EventLoop::call(Id id)
{
    const auto found = entries_.find(id);
    if (found == entries_.end())
        return;
    const std::shared_ptr<Callback> callback = found->second.callback;
    // A plug-in's handler or the program's callback must not end the editor
    // thread, and with it the process.
    try {
        (*callback)();
    } catch (...) {
    }
}

void EventLoop::runBeforeWait()
{
    std::vector<Id> ids;
    for (const auto& [id, entry] : entries_) {
        if (entry.kind == Kind::BeforeWait)
            ids.push_back(id);
    }
    for (const Id id : ids)
        call(id);
}

int EventLoop::timeoutMs() const
{
    bool any = false;
    Clock::time_point first{};
    for (const auto& [id, entry] : entries_) {
        if (entry.kind != Kind::Timer)
            continue;
        if (!any || entry.due < first)
            first = entry.due;
        any = true;
    }
    if (!any)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60 * 1000));
}

void EventLoop::runDueTimers()
{
    const Clock::time_point now = Clock::now();
    std::vector<Id> due;
    for (auto& [id, entry] : entries_) {
        if (entry.kind == Kind::Timer && entry.due <= now) {
            // From now, not from the missed time: a slow round gives no burst.
            entry.due = now + entry.interval;
            due.push_back(id);
        }
    }
    for (const Id id : due)
        call(id);
}

void EventLoop::runOnce(int wakeFd)
{
    runBeforeWait();

    std::vector<pollfd> polled;
    std::vector<Id> ids;
    polled.push_back({wakeFd, POLLIN, 0});
    ids.push_back(0);
    for (const auto& [id, entry] : entries_) {
        if (entry.kind == Kind::Fd && entry.watched) {
            polled.push_back({entry.fd, POLLIN, 0});
            ids.push_back(id);
        }
    }
    const int ready = poll(polled.data(), polled.size(), timeoutMs());
    if (ready > 0) {
        for (std::size_t i = 1; i < polled.size(); ++i) {
            const short events = polled[i].revents;
            if (events == 0)
                continue;
            const auto found = entries_.find(ids[i]);
            if (found == entries_.end())
                continue; // removed by an earlier callback of this round
            // A descriptor that hung up or failed stays so: watching it on
            // would only spin.
            if (events & (POLLNVAL | POLLHUP | POLLERR))
                found->second.watched = false;
            if (!(events & POLLNVAL))
                call(ids[i]);
        }
    }
    runDueTimers();
}

void EventLoop::abandon()
{
    for (auto& [id, entry] : entries_) {
        auto kept = std::make_unique<std::shared_ptr<Callback>>(std::move(entry.callback));
        static_cast<void>(kept.release());
    }
    entries_.clear();
}

} // namespace talven
