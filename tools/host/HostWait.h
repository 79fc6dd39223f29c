// The calls the reader thread hands to the main thread. On Windows the main
// thread also dispatches its window messages while it waits: the plug-in's
// editor window, shown from a call, lives on it.
#pragma once

#include "isolation/ControlMessage.h"

#include <deque>
#include <memory>
#include <mutex>

namespace talven::host {

class CallQueue {
public:
    CallQueue();
    ~CallQueue();
    CallQueue(const CallQueue&) = delete;
    CallQueue& operator=(const CallQueue&) = delete;

    // Reader thread.
    void push(std::unique_ptr<MessageReader> call);
    void close();
    // Main thread: the next call, or null once closed and empty.
    std::unique_ptr<MessageReader> pop();

private:
    struct Wake;
    std::mutex mutex_;
    std::deque<std::unique_ptr<MessageReader>> calls_;
    bool closed_ = false;
    std::unique_ptr<Wake> wake_;
};

} // namespace talven::host
