// What the library's trace says about the blocks it was given: the library
// writes "processAudio: start>>>" for every block it hands a plug-in and
// "processAudio: process failed" for one whose process returned an error,
// which then plays unprocessed. Nothing else tells a program of such blocks.
#pragma once

#include <cstdint>
#include <string>

namespace talven::validate {

// The trace file, in the current directory (each check's scratch folder).
constexpr const char* kTraceFileName = "my_log.txt";

struct BlockTrace {
    std::uint64_t blocks = 0; // blocks handed to the plug-in
    std::uint64_t failed = 0; // of which its process returned an error
};

// Counts them in the trace file at utf8Path; zeros when there is none.
BlockTrace readBlockTrace(const std::string& utf8Path);

} // namespace talven::validate
