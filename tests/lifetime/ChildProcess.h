// Runs a program of this build tree in a child process with a time limit, so
// that a hang or a crash of the child fails a test instead of the suite.
#pragma once

#include <chrono>
#include <string>

namespace talven::test {

struct ChildOutcome {
    bool finished = false; // false: killed at the time limit
    int exitCode = -1;     // the exit status; 128 + signal when killed by one
};

// Starts the program (a file beside the running test program) with one
// argument and waits for it at most limit.
ChildOutcome runBesideThisProgram(const std::string& program, const std::string& argument,
                                  std::chrono::seconds limit);

} // namespace talven::test
