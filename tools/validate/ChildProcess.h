// Running the validator's own program again for one check, so that a crash
// or hang inside a check is reported instead of taking the report down.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace talven::validate {

// The program's command-line arguments (without the program name) as
// UTF-8; on Windows from the wide command line.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// The path of the running program, UTF-8.
std::string ownProgramPath();

struct ProcessEnd {
    enum Kind { Exited, Crashed, TimedOut, NotStarted };
    Kind kind = NotStarted;
    long code = 0;      // Exited: the exit code; Crashed: the signal or exception code
};

// Runs program with arguments, its standard output going to the file
// outputPath and its standard error to errorPath (to outputPath too when
// empty), and waits for it at most timeout (then kills it).
ProcessEnd runProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputPath, const std::string& errorPath, std::chrono::seconds timeout);

// "exited with code 3", "crashed (signal 11, SIGSEGV)", "timed out after 300 s".
std::string describeEnd(const ProcessEnd& end, std::chrono::seconds timeout);

} // namespace talven::validate
