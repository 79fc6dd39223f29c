#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace talven {

// A two-way byte stream between the program and a plug-in's own process, for
// everything but the audio: calls, their answers and the plug-in's reports.
// A socket pair (POSIX) or two anonymous pipes (Windows); the child inherits
// its end, named by token(). When either process ends, the other's reads
// and writes fail: that is how the program notices a process gone.
class ControlPipe {
public:
    virtual ~ControlPipe() = default;

    // Both ends in this process: the program's, and the one to hand over
    // (inheritable, named by its token()). Null on failure.
    struct Pair {
        std::unique_ptr<ControlPipe> own;
        std::unique_ptr<ControlPipe> child;
    };
    static Pair create();
    // The child's side, from the token its parent gave. Null for a token
    // that names no pipe this process inherited.
    static std::unique_ptr<ControlPipe> open(const std::string& token);

    virtual std::string token() const = 0;
    // The handles or descriptors a child must inherit for this end.
    virtual std::vector<std::uint64_t> inheritedHandles() const = 0;

    // Blocking; false once the other side has gone (or on any failure).
    // Concurrent writes need the caller's own serialising; one reader.
    virtual bool writeAll(const void* data, std::size_t bytes) = 0;
    virtual bool readAll(void* data, std::size_t bytes) = 0;
};

} // namespace talven
