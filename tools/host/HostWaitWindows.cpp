#include "HostWait.h"

#include <windows.h>

namespace talven::host {

struct CallQueue::Wake {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ~Wake() { CloseHandle(event); }
};

CallQueue::CallQueue() : wake_(std::make_unique<Wake>()) {}
CallQueue::~CallQueue() = default;

void CallQueue::push(std::unique_ptr<MessageReader> call)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
    }
    SetEvent(wake_->event);
}

void CallQueue::close()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    SetEvent(wake_->event);
}

std::unique_ptr<MessageReader> CallQueue::pop()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!calls_.empty()) {
                std::unique_ptr<MessageReader> call = std::move(calls_.front());
                calls_.pop_front();
                return call;
            }
            if (closed_)
                return nullptr;
        }
        MsgWaitForMultipleObjects(1, &wake_->event, FALSE, INFINITE, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace talven::host
