#include "isolation/IsolatedLink.h"

#include <algorithm>
#include <new>
#include <vector>

namespace talven {
namespace {

// Every link started and not yet closed, for the library's unload. Made in
// static storage once and never destroyed, since the unload may run after
// static destructors at exit; the unload empties it and gives its memory
// back, so that an unloaded library leaves nothing allocated behind.
struct OpenLinks {
    std::mutex mutex;
    std::vector<std::weak_ptr<IsolatedLink>> links;
};

OpenLinks& openLinks()
{
    alignas(OpenLinks) static unsigned char storage[sizeof(OpenLinks)];
    static OpenLinks* const links = new (storage) OpenLinks;
    return *links;
}

} // namespace

void closeAllIsolatedLinks()
{
    std::vector<std::shared_ptr<IsolatedLink>> open;
    {
        OpenLinks& all = openLinks();
        std::lock_guard<std::mutex> lock(all.mutex);
        for (const std::weak_ptr<IsolatedLink>& link : all.links)
            if (std::shared_ptr<IsolatedLink> alive = link.lock())
                open.push_back(std::move(alive));
        all.links.clear();
        all.links.shrink_to_fit();
    }
    for (const std::shared_ptr<IsolatedLink>& link : open)
        link->close(std::chrono::seconds(2));
}

IsolatedLink::IsolatedLink(std::uint32_t handle, std::unique_ptr<BlockExchange> exchange,
                           std::unique_ptr<ControlPipe> pipe, std::unique_ptr<HostProcess> process)
    : handle_(handle), exchange_(std::move(exchange)), pipe_(std::move(pipe)), process_(std::move(process))
{
}

IsolatedLink::~IsolatedLink()
{
    // Both threads hold the link while they run: when this runs they have
    // ended, or it runs on the one that was let go.
    if (reader_.joinable())
        reader_.detach();
    if (reporter_.joinable())
        reporter_.detach();
}

void IsolatedLink::start()
{
    std::shared_ptr<IsolatedLink> self = shared_from_this();
    {
        OpenLinks& all = openLinks();
        std::lock_guard<std::mutex> lock(all.mutex);
        // Links closed meanwhile leave their expired places behind.
        all.links.erase(std::remove_if(all.links.begin(), all.links.end(),
                                       [](const std::weak_ptr<IsolatedLink>& link) { return link.expired(); }),
                        all.links.end());
        all.links.push_back(self);
    }
    reader_ = std::thread([self] { self->readMessages(); });
    reporter_ = std::thread([self] { self->dispatchReports(); });
    reporterId_ = reporter_.get_id();
}

// Reader thread.
void IsolatedLink::readMessages()
{
    for (;;) {
        auto message = std::make_unique<MessageReader>();
        if (!message->receive(*pipe_))
            break;
        std::lock_guard<std::mutex> lock(mutex_);
        switch (message->op()) {
        case ControlOp::answer: {
            const std::uint32_t sequence = message->sequence();
            answers_[sequence] = {std::move(message), reportsQueued_};
            const auto position = positionAfter_.find(sequence);
            if (position != positionAfter_.end()) {
                positionCallback_ = position->second;
                positionAfter_.erase(position);
            }
            break;
        }
        case ControlOp::paramReport: {
            Report report{ControlOp::paramReport};
            report.id = message->u32();
            report.value = message->f64();
            if (message->ok())
                queueReport(report);
            break;
        }
        case ControlOp::editorReport: {
            Report report{ControlOp::editorReport};
            report.left = message->i32();
            report.top = message->i32();
            if (message->ok())
                queueReport(report);
            break;
        }
        case ControlOp::positionReport: {
            Report report{ControlOp::positionReport};
            report.position = positionCallback_;
            report.left = message->i32();
            report.top = message->i32();
            report.closing = message->i32();
            if (message->ok())
                queueReport(report);
            break;
        }
        default:
            break;
        }
        changed_.notify_all();
    }
    // The pipe closed: the process has ended (or is ending); reaped here so
    // that no zombie stays behind.
    exchange_->close();
    process_->waitForEnd();
    markEnded();
}

void IsolatedLink::queueReport(const Report& report)
{
    reports_.push_back(report);
    ++reportsQueued_;
}

void IsolatedLink::markEnded()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    if (!closing_) {
        status_.store(TALVEN_STATUS_CRASHED, std::memory_order_release);
        queueReport(Report{ControlOp::detach}); // stands for the status change
    }
    changed_.notify_all();
}

// Reporter thread: the program's callbacks, one at a time, no lock held.
void IsolatedLink::dispatchReports()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !reports_.empty(); });
        if (closing_)
            return;
        Report report = reports_.front();
        reports_.pop_front();
        if (silenced_)
            report.op = ControlOp::answer; // heard by nobody
        const TALVEN_PARAMPROC paramCallback = paramCallback_;
        void* const paramUser = paramUser_;
        const TALVEN_STATUSPROC statusCallback = statusCallback_;
        void* const statusUser = statusUser_;
        const TALVEN_EDITORPROC editorCallback = editorCallback_;
        void* const editorUser = editorUser_;
        dispatching_ = true;
        lock.unlock();
        if (report.op == ControlOp::paramReport && paramCallback)
            paramCallback(handle_, report.id, report.value, paramUser);
        else if (report.op == ControlOp::editorReport && editorCallback)
            editorCallback(handle_, report.left, report.top, editorUser);
        else if (report.op == ControlOp::positionReport && report.position)
            report.position(report.left, report.top, report.closing);
        else if (report.op == ControlOp::detach && statusCallback)
            statusCallback(handle_, TALVEN_STATUS_CRASHED, statusUser);
        lock.lock();
        dispatching_ = false;
        ++reportsDone_;
        changed_.notify_all();
    }
}

std::unique_ptr<MessageReader> IsolatedLink::call(MessageWriter& message, std::chrono::milliseconds timeout)
{
    const std::uint32_t sequence = message.sequence();
    // A callback running when the call goes out may be waiting for it (on
    // another thread of the program's): the reports queued up to then are
    // not the call's, and waiting for them would wait for that callback.
    // Reports this call causes still wait their turn behind it.
    std::uint64_t reportsOfOthers = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_ || ended_)
            return nullptr;
        if (dispatching_)
            reportsOfOthers = reportsQueued_;
    }
    {
        std::lock_guard<std::mutex> lock(writing_);
        if (!message.send(*pipe_))
            return nullptr; // the reader notices the end
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const bool answered = changed_.wait_for(lock, timeout, [&] {
        return answers_.count(sequence) != 0 || ended_ || closing_;
    });
    const auto found = answers_.find(sequence);
    if (found == answers_.end()) {
        if (!answered) {
            // A process that does not answer is as good as crashed.
            lock.unlock();
            process_->kill();
        }
        return nullptr;
    }
    std::unique_ptr<MessageReader> answer = std::move(found->second.first);
    const std::uint64_t reportsBefore = found->second.second;
    answers_.erase(found);
    // A call from a callback cannot wait for the reporter: it is on it.
    if (std::this_thread::get_id() != reporterId_.load() && reportsBefore > reportsOfOthers)
        changed_.wait(lock, [&] { return reportsDone_ >= reportsBefore || closing_ || ended_; });
    return answer->ok() ? std::move(answer) : nullptr;
}

void IsolatedLink::close(std::chrono::milliseconds grace)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closing_)
            return;
        closing_ = true;
        changed_.notify_all();
    }
    {
        MessageWriter detach(nextSequence(), ControlOp::detach);
        std::lock_guard<std::mutex> lock(writing_);
        detach.send(*pipe_);
    }
    exchange_->close();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, grace, [&] { return ended_; })) {
            lock.unlock();
            process_->kill();
        }
    }
    // The thread running this (a callback's detach) is let go; it ends by
    // itself once its callback returns.
    for (std::thread* thread : {&reader_, &reporter_}) {
        if (!thread->joinable())
            continue;
        if (thread->get_id() == std::this_thread::get_id())
            thread->detach();
        else
            thread->join();
    }
}

void IsolatedLink::silence()
{
    std::unique_lock<std::mutex> lock(mutex_);
    silenced_ = true;
    if (std::this_thread::get_id() != reporterId_.load())
        changed_.wait(lock, [&] { return !dispatching_; });
}

void IsolatedLink::setParamCallback(TALVEN_PARAMPROC callback, void* user)
{
    std::lock_guard<std::mutex> lock(mutex_);
    paramCallback_ = callback;
    paramUser_ = user;
}

void IsolatedLink::setStatusCallback(TALVEN_STATUSPROC callback, void* user)
{
    std::lock_guard<std::mutex> lock(mutex_);
    statusCallback_ = callback;
    statusUser_ = user;
}

void IsolatedLink::setEditorCallback(TALVEN_EDITORPROC callback, void* user)
{
    std::lock_guard<std::mutex> lock(mutex_);
    editorCallback_ = callback;
    editorUser_ = user;
}

void IsolatedLink::setPositionCallback(TALVEN_POSITIONPROC callback)
{
    std::lock_guard<std::mutex> lock(mutex_);
    positionCallback_ = callback;
}

void IsolatedLink::setPositionCallbackAfter(std::uint32_t sequence, TALVEN_POSITIONPROC callback)
{
    std::lock_guard<std::mutex> lock(mutex_);
    positionAfter_[sequence] = callback;
}

} // namespace talven
