#include "isolation/SharedRegion.h"

#include <windows.h>

namespace talven {
namespace {

class WindowsRegion final : public SharedRegion {
public:
    WindowsRegion(HANDLE mapping, void* data, std::size_t size) : mapping_(mapping), data_(data), size_(size) {}
    ~WindowsRegion() override
    {
        UnmapViewOfFile(data_);
        CloseHandle(mapping_);
    }
    void* data() const override { return data_; }
    std::size_t size() const override { return size_; }
    std::uint64_t handle() const override { return reinterpret_cast<std::uintptr_t>(mapping_); }

private:
    HANDLE mapping_;
    void* data_;
    std::size_t size_;
};

std::unique_ptr<SharedRegion> mapWhole(HANDLE mapping)
{
    void* data = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    MEMORY_BASIC_INFORMATION view{};
    if (!data || VirtualQuery(data, &view, sizeof view) == 0) {
        if (data)
            UnmapViewOfFile(data);
        CloseHandle(mapping);
        return nullptr;
    }
    return std::make_unique<WindowsRegion>(mapping, data, view.RegionSize);
}

} // namespace

std::unique_ptr<SharedRegion> SharedRegion::create(std::size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    // Inheritable: the process start hands it over by a handle list naming
    // only the exchange's handles.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto size = static_cast<unsigned long long>(bytes);
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE,
                                        static_cast<DWORD>(size >> 32), static_cast<DWORD>(size), nullptr);
    if (!mapping)
        return nullptr;
    return mapWhole(mapping);
}

std::unique_ptr<SharedRegion> SharedRegion::open(std::uint64_t handle)
{
    // A duplicate, so that the region owns its own handle, and so that a
    // number that names no handle of this process fails here.
    HANDLE mapping = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle)),
                         GetCurrentProcess(), &mapping, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return mapWhole(mapping);
}

} // namespace talven
