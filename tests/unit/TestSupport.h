#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace talven::test {

// Waits until the condition holds or the bound passes; on Windows it pumps
// this thread's messages meanwhile, so thread timers started here tick.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::seconds(30));

// The whole trace file of the current directory ("" when there is none),
// read as bytes.
std::string readTraceFile();
void removeTraceFile();
int countLines(const std::string& text, const std::string& line);

} // namespace talven::test
