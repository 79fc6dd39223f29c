#pragma once

#include "isolation/BlockExchange.h"
#include "isolation/ControlMessage.h"
#include "isolation/ControlPipe.h"
#include "isolation/HostProcess.h"
#include "talven.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace talven {

// The program's side of one plug-in's own process: its block exchange, its
// control pipe and the two threads that serve it. The reader takes every
// message off the pipe, hands answers to the calls waiting for them and
// reports to the reporter, and notices the process's end (the pipe closes);
// the reporter calls the program's callbacks, outside every lock, so that a
// callback may make any call (one forwarded to the process included, whose
// answer the reader still takes). Shared by those threads and the record, so
// that a thread that must let itself go (a detach from a callback) still
// finds it whole.
class IsolatedLink : public std::enable_shared_from_this<IsolatedLink> {
public:
    IsolatedLink(std::uint32_t handle, std::unique_ptr<BlockExchange> exchange, std::unique_ptr<ControlPipe> pipe,
                 std::unique_ptr<HostProcess> process);
    ~IsolatedLink();

    // Starts the reader and the reporter. Caller's thread, once.
    void start();

    // A call to the process: the answer, or null when the process has gone,
    // does not answer within timeout (it is ended then, as crashed), or the
    // link is closing. Any thread but the reader.
    std::unique_ptr<MessageReader> call(MessageWriter& message, std::chrono::milliseconds timeout);
    // The sequence number a new call's message must carry.
    std::uint32_t nextSequence() { return sequence_.fetch_add(1) + 1; }

    // Ends the process (asked first; ended after grace), waits for the
    // threads (except the calling one, which is let go) and calls no
    // callback from then on. Any thread; the second call does nothing.
    void close(std::chrono::milliseconds grace);

    // No callback from now on, while calls still go to the process (a
    // detached attachment whose last block is under way); waits for one in
    // progress on another thread. Any thread.
    void silence();

    // Audio thread: the process cannot keep up; it is ended, reported as
    // crashed by the reader.
    void giveUp() { process_->kill(); }

    BlockExchange& exchange() { return *exchange_; }
    std::int32_t status() const { return status_.load(std::memory_order_acquire); }

    void setParamCallback(TALVEN_PARAMPROC callback, void* user);
    void setStatusCallback(TALVEN_STATUSPROC callback, void* user);
    void setPositionCallback(TALVEN_POSITIONPROC callback);
    // The callback for the position reports read after the answer to the
    // call numbered sequence: a show's new window reports to the callback
    // given with it, while the window it hid, whose close was reported
    // before that answer, still reports to the one before, as in the
    // program's own process. Before the call is sent.
    void setPositionCallbackAfter(std::uint32_t sequence, TALVEN_POSITIONPROC callback);
    void setEditorCallback(TALVEN_EDITORPROC callback, void* user);

private:
    struct Report {
        ControlOp op;
        std::uint32_t id = 0;
        double value = 0.0;
        std::int32_t left = 0, top = 0, closing = 0; // also width, height of an editor report
        TALVEN_POSITIONPROC position = nullptr;     // a position report's callback, as it was read
    };
    void readMessages();
    void dispatchReports();
    void markEnded();
    // Under mutex_.
    void queueReport(const Report& report);

    const std::uint32_t handle_; // the program's handle, for its callbacks
    std::unique_ptr<BlockExchange> exchange_;
    std::unique_ptr<ControlPipe> pipe_;
    std::unique_ptr<HostProcess> process_;
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::int32_t> status_{TALVEN_STATUS_RUNNING};

    std::mutex writing_; // one message at a time onto the pipe
    std::mutex mutex_;   // everything below
    std::condition_variable changed_;
    // Each answer with the number of reports queued before it: a call
    // returns once those have reached the program, as the reports of a call
    // in the program's own process have when it returns.
    std::map<std::uint32_t, std::pair<std::unique_ptr<MessageReader>, std::uint64_t>> answers_;
    std::deque<Report> reports_;
    std::uint64_t reportsQueued_ = 0;
    std::uint64_t reportsDone_ = 0;
    bool dispatching_ = false; // the reporter is in a callback
    bool silenced_ = false;    // silence() was called: no callback any more
    bool ended_ = false;   // the process has gone and been reaped
    bool closing_ = false; // close() was called: no call, no callback any more
    TALVEN_PARAMPROC paramCallback_ = nullptr;
    void* paramUser_ = nullptr;
    TALVEN_STATUSPROC statusCallback_ = nullptr;
    void* statusUser_ = nullptr;
    TALVEN_POSITIONPROC positionCallback_ = nullptr;
    std::map<std::uint32_t, TALVEN_POSITIONPROC> positionAfter_; // by the call's sequence
    TALVEN_EDITORPROC editorCallback_ = nullptr;
    void* editorUser_ = nullptr;

    std::thread reader_;
    std::thread reporter_;
    // The reporter's id, for calls that must know whether they run on it
    // while close() may be letting go of the thread object.
    std::atomic<std::thread::id> reporterId_{};
};

// Closes every link still open (their processes ended, their threads
// joined), so that no thread runs the library's code once it may be
// unmapped. The library's unload; any thread but a link's own.
void closeAllIsolatedLinks();

} // namespace talven
