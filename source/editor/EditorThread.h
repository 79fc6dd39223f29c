#pragma once

#include "editor/EventLoop.h"
#include "editor/IWindow.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace talven {

// The process's one editor thread (Linux): every editor window, the X
// connection and the plug-ins' run loop live on it, and every call into a
// plug-in's view is made there. It starts when work is first handed to it and
// ends by itself once it has no work left and nothing registered in its event
// loop (the X connection is registered there while any editor window exists),
// so a program that never shows an editor never starts it. At library unload
// or process exit it is stopped and joined.
//
// Use the static functions; they are safe from any thread, also after the
// thread was stopped for good (they then fail).
class EditorThread {
public:
    // Runs work on the editor thread and waits for it; inline when called on
    // the editor thread. Starts the thread when it is not running. False when
    // work did not run: the thread could not start or is stopped for good.
    // An exception work throws comes out here. Any thread.
    static bool call(const std::function<void()>& work);

    // Hands task to the running editor thread without waiting. Never starts
    // the thread: gives the task back when it is not running (or stopped for
    // good), so that the caller can do the work itself. Any thread.
    static std::unique_ptr<Steinberg::Vst::EditorHost::WindowTask> post(
        std::unique_ptr<Steinberg::Vst::EditorHost::WindowTask> task);

    // Ends the thread for good: work queued so far runs (closes and their
    // releases; a caller waiting in call() is let go unrun), then it is
    // joined, unless this is the editor thread itself. The thread unloads no
    // module (it is joined under the loader lock at library unload), so the
    // join never waits for that lock. Any thread, also more than once.
    static void stopForGood() noexcept;

    // True on the editor thread. Any thread.
    static bool isCurrent();
    // Whether an editor thread runs now. Any thread.
    static bool running();

    // The running thread's event loop. Editor thread only; null elsewhere.
    static EventLoop* loop();

    ~EditorThread();
    // finishQueued: run the closes still queued (unload) or drop them unrun
    // (exit, after static destructors).
    void stop(bool finishQueued) noexcept;
    EditorThread(const EditorThread&) = delete;
    EditorThread& operator=(const EditorThread&) = delete;

private:
    struct Completion;
    class CallTask;
    struct Queued {
        std::unique_ptr<Steinberg::Vst::EditorHost::WindowTask> task;
        std::shared_ptr<Completion> completion; // for call(); else null
    };

    EditorThread() = default;
    static EditorThread* instance();

    // False (task left in queued) when not running and start is false, or
    // when the thread cannot start.
    bool enqueue(Queued& queued, bool start);
    void run(int wakeFd);
    // Runs what was queued so far; false once stopped for good.
    bool runQueued();
    // Under the lock: whether the thread ends now, and if so marks it ended.
    bool finishIfIdle(const EventLoop& loop);
    void wake();

    std::mutex mutex_;
    std::deque<Queued> queue_;  // guarded by mutex_
    bool running_ = false;      // guarded by mutex_
    bool stopped_ = false;      // guarded by mutex_: no thread ever again
    bool finishQueued_ = false; // guarded by mutex_: set with stopped_
    int wakeFd_ = -1;           // guarded by mutex_; the running thread's
    std::thread thread_;        // guarded by mutex_
};

} // namespace talven
