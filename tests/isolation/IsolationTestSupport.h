// What the isolated attachment suites share: the attach itself, the bounded
// wait, and the checks that nothing of a plug-in's process stays behind.
#pragma once

#include "talven.h"

#include <chrono>
#include <cstdint>
#include <thread>

namespace talven::test {

// The shortest wait for a block an isolated attachment made from now on
// gives its process (TALVEN_ISOLATED_MIN_WAIT_MS), in milliseconds.
void setMinimumWait(const char* ms);

// The test plug-in attached to channel, in a process of its own or not.
std::uint32_t attachTestPlugin(std::uint32_t channel, const char* plugin, bool isolated,
                               const char* classId = nullptr);

// Descriptors (POSIX) or handles (Windows) this process holds.
long openHandles();
// No more than before: exactly on POSIX; on Windows give or take a few of
// the system's own, which come and go.
bool noHandlesBeyond(long before);
// Threads of this process (POSIX; 0 on Windows, where it is not checked).
long threadCount();

// No child process is left running or unreaped (POSIX).
void expectNoChildProcess();

// Polls condition for up to 30 s.
template <typename Condition>
bool waitFor(Condition condition)
{
    for (int i = 0; i < 3000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

} // namespace talven::test
