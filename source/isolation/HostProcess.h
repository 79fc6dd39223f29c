#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace talven {

// A process the library starts to run a plug-in in, handed some of this
// process's handles (Windows) or descriptors (POSIX) by inheritance and
// nothing else of them.
class HostProcess {
public:
    virtual ~HostProcess() = default;

    // Starts program with arguments (UTF-8). inherited: the numbers of the
    // handles or descriptors the child gets, under the same numbers.
    // libraryFolders: where the child's loader looks first for the shared
    // libraries it links (Linux: put before LD_LIBRARY_PATH; Windows looks in
    // the program's own folder first anyway). Null when it cannot be started.
    static std::unique_ptr<HostProcess> start(const std::string& program, const std::vector<std::string>& arguments,
                                              const std::vector<std::uint64_t>& inherited,
                                              const std::vector<std::string>& libraryFolders = {});

    // Blocks until the process has ended and reaps it. Any one thread, once
    // (a watcher); the destructor waits for neither.
    virtual void waitForEnd() = 0;
    // Ends it at once, whatever it is doing; any thread, any number of times.
    virtual void kill() = 0;
};

} // namespace talven
