#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace talven {

// Wakes a thread of another process that waits for a 32-bit word in shared
// memory to change: a futex on the word itself (Linux), an inheritable
// auto-reset event beside it (Windows). Fit for the audio thread: no
// allocation, no lock, one system call each way.
class WakeSignal {
public:
    virtual ~WakeSignal() = default;

    // For a word in memory shared with a process to be started. Null on failure.
    static std::unique_ptr<WakeSignal> create(std::atomic<std::uint32_t>& word);
    // The other process's side, with the handle it inherited (0 where none is needed).
    static std::unique_ptr<WakeSignal> open(std::atomic<std::uint32_t>& word, std::uint64_t handle);

    // The shortest timeout waitWhile keeps to: shorter ones end late.
    static std::chrono::microseconds shortestTimedWait();

    // The number the other process opens it by; 0 where it needs none.
    virtual std::uint64_t handle() const = 0;
    // Call after changing the word.
    virtual void wake() = 0;
    // Returns when the word no longer holds seen, on a wake, or after
    // timeout, whichever comes first; callers look at the word again.
    virtual void waitWhile(std::uint32_t seen, std::chrono::microseconds timeout) = 0;
};

} // namespace talven
