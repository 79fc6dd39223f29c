#include "SharedFile.h"

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace talven::testplugin {

SharedFile::SharedFile(const char* name, std::size_t size) : size_(size)
{
    const char* folder = std::getenv("TALVEN_PROBE_SHARED");
    if (!folder || !*folder)
        return;
    const std::string path = std::string(folder) + "/" + name;
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    file_ = file;
    // Grows the file, zero-filled, to size.
    mapping_ = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr);
    if (mapping_)
        view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, size);
#else
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return;
    struct stat info {};
    // Growing a file that another process already grew changes nothing.
    const bool sized = ::fstat(descriptor, &info) == 0 &&
                       (info.st_size >= static_cast<off_t>(size) || ::ftruncate(descriptor, static_cast<off_t>(size)) == 0);
    void* view = sized ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0) : MAP_FAILED;
    ::close(descriptor);
    if (view != MAP_FAILED)
        view_ = view;
#endif
}

SharedFile::~SharedFile()
{
#ifdef _WIN32
    if (view_)
        UnmapViewOfFile(view_);
    if (mapping_)
        CloseHandle(mapping_);
    if (file_)
        CloseHandle(file_);
#else
    if (view_)
        ::munmap(view_, size_);
#endif
}

} // namespace talven::testplugin
