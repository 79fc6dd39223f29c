#pragma once

#include <cstdint>
#include <memory>

namespace talven {

// What a report waits to be handed to: the parameter reports of one
// instance, kept alive by the waiting report.
class ReportReceiver {
public:
    virtual ~ReportReceiver() = default;
    // The thread that made the report, outside every plug-in call and
    // library lock.
    virtual void deliverNow(std::uint32_t id, double value) = 0;
};

// Keeps the program's parameter callback out of the plug-in's own calls.
// A plug-in reports an edit from inside some call of its own (a view's timer,
// a state being set, a window procedure): a callback that detached right
// there would take the plug-in down under its own feet. So while a scope is
// open on a thread (a library function in progress, a round of the editor
// thread), the reports made on it wait, and the outermost scope delivers
// them as it closes, on the same thread, with no plug-in call and no library
// lock in progress. Scopes nest; the cost of one is a thread-local count.
class ReportScope {
public:
    ReportScope() noexcept;
    ~ReportScope();
    ReportScope(const ReportScope&) = delete;
    ReportScope& operator=(const ReportScope&) = delete;

    // True while a scope is open on this thread.
    static bool active() noexcept;

    // Keeps a report for the end of the outermost scope on this thread. Off
    // the audio thread (allocates). May throw std::bad_alloc.
    static void defer(std::shared_ptr<ReportReceiver> receiver, std::uint32_t id, double value);

    // A thread outside every scope may still be inside a plug-in call the
    // library cannot see (a plug-in's window procedure run by the program's
    // message loop). A waker arranges for a scope to open on this thread soon
    // (Windows: a task posted to a library window of the thread) and says
    // whether it could; only then does the report wait. Set once by the
    // editor, before any window exists.
    using Waker = bool (*)();
    static void setWaker(Waker waker) noexcept;
    static bool wakeLater() noexcept;
};

} // namespace talven
