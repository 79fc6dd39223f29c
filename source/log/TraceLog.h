#pragma once

#include <string_view>

namespace talven {

// Name of the trace file, relative to the current directory at each call.
inline constexpr const char* kTraceFileName = "my_log.txt";

// Appends "[YYYY-MM-DD HH:MM:SS] message" and a line end to the trace file,
// opening and closing it for this one line. When the file cannot be opened it
// says so on standard output instead. Nothing while the trace is switched
// off. Never throws, allocates only for a message longer than 400 bytes.
// Any thread, no lock.
void writeTraceLine(std::string_view message) noexcept;

// Switches every trace line of every thread on or off from the next line on;
// returns whether it was on. On at load. Any thread.
bool setTraceEnabled(bool enabled) noexcept;

} // namespace talven
