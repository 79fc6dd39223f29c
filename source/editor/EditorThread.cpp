#include "editor/EditorThread.h"

#include "platform/ReportScope.h"
#include "platform/ThreadRole.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <exception>

using Steinberg::Vst::EditorHost::WindowTask;

namespace talven {
namespace {

// Set once the process's EditorThread is destroyed (library unload or process
// exit): from then on nothing may reach it.
std::atomic<bool> threadGone{false};
// The process's EditorThread once it was made; never made just to stop it.
std::atomic<EditorThread*> made{nullptr};

thread_local bool onEditorThread = false;
thread_local EventLoop* currentLoop = nullptr;

void drainWakeFd(int fd)
{
    std::uint64_t count = 0;
    while (read(fd, &count, sizeof(count)) > 0) {
    }
}

} // namespace

// What a caller of call() waits for.
struct EditorThread::Completion {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false; // guarded by mutex
    bool ran = false;      // guarded by mutex
    std::exception_ptr error;

    void finish(bool workRan)
    {
        {
            std::lock_guard<std::mutex> guard(mutex);
            finished = true;
            ran = workRan;
        }
        done.notify_all();
    }

    // True when the work ran; rethrows what it threw.
    bool wait()
    {
        std::unique_lock<std::mutex> guard(mutex);
        done.wait(guard, [this] { return finished; });
        if (error)
            std::rethrow_exception(error);
        return ran;
    }
};

// A caller's work, run on the editor thread while the caller waits, so the
// reference to work stays valid while it runs.
class EditorThread::CallTask : public WindowTask {
public:
    CallTask(const std::function<void()>& work, std::shared_ptr<Completion> completion)
        : work_(work), completion_(std::move(completion))
    {
    }

    void run() noexcept override
    {
        try {
            work_();
        } catch (...) {
            completion_->error = std::current_exception();
        }
    }

private:
    const std::function<void()>& work_;
    std::shared_ptr<Completion> completion_;
};

EditorThread* EditorThread::instance()
{
    if (threadGone.load())
        return nullptr;
    static EditorThread thread;
    made.store(&thread);
    return &thread;
}

EditorThread::~EditorThread()
{
    threadGone.store(true);
    // Process exit: static destructors of the library may have run, so what
    // is queued is dropped unrun.
    stop(false);
}

void EditorThread::stopForGood() noexcept
{
    EditorThread* const thread = made.load();
    if (thread && !threadGone.load())
        thread->stop(true);
}

void EditorThread::stop(bool finishQueued) noexcept
{
    std::thread ending;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!stopped_)
            finishQueued_ = finishQueued;
        stopped_ = true;
        ending = std::move(thread_);
        if (running_)
            wake();
    }
    if (!ending.joinable())
        return;
    // exit() called from an editor callback: this thread cannot wait for itself.
    try {
        if (ending.get_id() == std::this_thread::get_id())
            ending.detach();
        else
            ending.join();
    } catch (...) {
    }
}

bool EditorThread::call(const std::function<void()>& work)
{
    if (onEditorThread) {
        work();
        return true;
    }
    EditorThread* const thread = instance();
    if (!thread)
        return false;
    auto completion = std::make_shared<Completion>();
    Queued queued{std::make_unique<CallTask>(work, completion), completion};
    if (!thread->enqueue(queued, true))
        return false;
    return completion->wait();
}

std::unique_ptr<WindowTask> EditorThread::post(std::unique_ptr<WindowTask> task)
{
    EditorThread* const thread = instance();
    if (!task || !thread)
        return task;
    Queued queued{std::move(task), nullptr};
    if (thread->enqueue(queued, false))
        return nullptr;
    return std::move(queued.task);
}

bool EditorThread::isCurrent()
{
    return onEditorThread;
}

bool EditorThread::running()
{
    EditorThread* const thread = instance();
    if (!thread)
        return false;
    std::lock_guard<std::mutex> guard(thread->mutex_);
    return thread->running_;
}

EventLoop* EditorThread::loop()
{
    return currentLoop;
}

bool EditorThread::enqueue(Queued& queued, bool start)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (stopped_)
        return false;
    if (!running_) {
        if (!start)
            return false;
        // The previous thread marked itself ended under this lock and takes
        // it no more, so waiting for it here cannot deadlock.
        if (thread_.joinable())
            thread_.join();
        const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0)
            return false;
        try {
            thread_ = std::thread(&EditorThread::run, this, fd);
        } catch (...) {
            close(fd);
            return false;
        }
        running_ = true;
        wakeFd_ = fd;
    }
    queue_.push_back(std::move(queued));
    wake();
    return true;
}

void EditorThread::wake()
{
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0)
        static_cast<void>(write(wakeFd_, &one, sizeof(one)));
}

void EditorThread::run(int wakeFd)
{
    onEditorThread = true;
    // Joined at library unload under the loader lock: a module released here
    // waits for a thread that may unload it.
    markThreadKeepsModules();
    // Named for whoever inspects the process (debuggers, top, tests).
    pthread_setname_np(pthread_self(), "talven-editor");
    {
        EventLoop loop;
        currentLoop = &loop;
        for (;;) {
            // What the plug-in reports during a round reaches the program
            // after it, outside the plug-in's handlers.
            ReportScope reportsAfterRound;
            drainWakeFd(wakeFd);
            if (!runQueued()) {
                loop.abandon();
                break;
            }
            if (finishIfIdle(loop))
                break;
            loop.runOnce(wakeFd);
        }
        currentLoop = nullptr;
    }
    close(wakeFd);
}

bool EditorThread::runQueued()
{
    for (;;) {
        std::deque<Queued> batch;
        bool stopping = false;
        bool finish = true;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            stopping = stopped_;
            finish = finishQueued_;
            if (stopping) {
                running_ = false;
                wakeFd_ = -1;
            } else if (queue_.empty()) {
                return true;
            }
            batch.swap(queue_);
        }
        for (Queued& queued : batch) {
            // Unload or exit: a caller waiting in call() is let go unrun (its
            // work may reach code that is going), but the closes handed over
            // still run, so that every view leaves its window and every
            // plug-in is released; its module is kept for the unloading
            // thread (markThreadKeepsModules).
            if (stopping && (queued.completion || !finish)) {
                // At exit the task is not even destroyed: its destructor
                // would release plug-in code that may be gone.
                if (queued.completion)
                    queued.completion->finish(false);
                if (finish)
                    queued.task.reset();
                else
                    static_cast<void>(queued.task.release());
                continue;
            }
            queued.task->run();
            queued.task.reset();
            if (queued.completion)
                queued.completion->finish(true);
        }
        if (stopping)
            return false;
    }
}

bool EditorThread::finishIfIdle(const EventLoop& loop)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (stopped_ || !queue_.empty() || !loop.empty())
        return false;
    running_ = false;
    wakeFd_ = -1;
    return true;
}

} // namespace talven
