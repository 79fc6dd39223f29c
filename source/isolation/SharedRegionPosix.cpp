#include "isolation/SharedRegion.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talven {
namespace {

// The first descriptor number a region may have, so that the child's
// duplicate at a low fixed number never collides with the original.
constexpr int kFirstRegionDescriptor = 10;

class PosixRegion final : public SharedRegion {
public:
    PosixRegion(int descriptor, void* data, std::size_t size) : descriptor_(descriptor), data_(data), size_(size) {}
    ~PosixRegion() override
    {
        munmap(data_, size_);
        ::close(descriptor_);
    }
    void* data() const override { return data_; }
    std::size_t size() const override { return size_; }
    std::uint64_t handle() const override { return static_cast<std::uint64_t>(descriptor_); }

private:
    int descriptor_;
    void* data_;
    std::size_t size_;
};

std::unique_ptr<SharedRegion> mapWhole(int descriptor)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || status.st_size <= 0) {
        ::close(descriptor);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (data == MAP_FAILED) {
        ::close(descriptor);
        return nullptr;
    }
    return std::make_unique<PosixRegion>(descriptor, data, size);
}

} // namespace

std::unique_ptr<SharedRegion> SharedRegion::create(std::size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    // Close-on-exec: only the child it is handed to gets it (by a duplicate).
    const int made = memfd_create("talven-block", MFD_CLOEXEC);
    if (made < 0)
        return nullptr;
    const int descriptor = fcntl(made, F_DUPFD_CLOEXEC, kFirstRegionDescriptor);
    ::close(made);
    if (descriptor < 0)
        return nullptr;
    if (ftruncate(descriptor, static_cast<off_t>(bytes)) != 0) {
        ::close(descriptor);
        return nullptr;
    }
    return mapWhole(descriptor);
}

std::unique_ptr<SharedRegion> SharedRegion::open(std::uint64_t handle)
{
    if (handle > 1u << 20)
        return nullptr;
    // A duplicate, so that the region owns its own descriptor whatever the
    // caller does with the inherited one.
    const int descriptor = fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, kFirstRegionDescriptor);
    if (descriptor < 0)
        return nullptr;
    return mapWhole(descriptor);
}

} // namespace talven
