#include "HostWait.h"

#include <condition_variable>

namespace talven::host {

struct CallQueue::Wake {
    std::condition_variable changed;
};

CallQueue::CallQueue() : wake_(std::make_unique<Wake>()) {}
CallQueue::~CallQueue() = default;

void CallQueue::push(std::unique_ptr<MessageReader> call)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
    }
    wake_->changed.notify_one();
}

void CallQueue::close()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    wake_->changed.notify_one();
}

std::unique_ptr<MessageReader> CallQueue::pop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    wake_->changed.wait(lock, [&] { return !calls_.empty() || closed_; });
    if (calls_.empty())
        return nullptr;
    std::unique_ptr<MessageReader> call = std::move(calls_.front());
    calls_.pop_front();
    return call;
}

} // namespace talven::host
