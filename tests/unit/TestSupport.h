#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace talven::test {

// Waits until the condition holds or the bound passes; on Windows it pumps
// this thread's messages meanwhile, so thread timers started here tick.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::seconds(30));

// Runs call on another thread and waits for it. A call still running after
// the bound is a hang that no join could end: the test program then says so
// and ends at once with a failure, rather than hanging the suite.
void finishesWithin(const std::function<void()>& call,
                    std::chrono::milliseconds bound = std::chrono::seconds(30));

// The whole trace file of the current directory ("" when there is none),
// read as bytes.
std::string readTraceFile();
void removeTraceFile();
int countLines(const std::string& text, const std::string& line);

} // namespace talven::test
