#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace talven {

// Memory shared with a child process, handed to it by inheritance: an
// anonymous memory file (POSIX) or an unnamed file mapping (Windows), so that
// nothing is left behind in the system when both processes have gone,
// however they end.
class SharedRegion {
public:
    virtual ~SharedRegion() = default;

    // Zero-filled, inheritable by a process this one starts with the handle
    // named. Null on failure.
    static std::unique_ptr<SharedRegion> create(std::size_t bytes);
    // The region whose handle (or descriptor) this process inherited. Null
    // when the number names no shared memory.
    static std::unique_ptr<SharedRegion> open(std::uint64_t handle);

    virtual void* data() const = 0;
    virtual std::size_t size() const = 0;
    // The number the other process opens it by.
    virtual std::uint64_t handle() const = 0;
};

} // namespace talven
