// Where a probe module keeps its ProbeRecord: in its own memory, or, when
// TALVEN_PROBE_SHARED names a folder, in the file <folder>/<module>.probe
// mapped into every process that loads the module, so that a test reads
// and steers a plug-in that runs in talven-host. Compiled into each plug-in
// with TALVEN_PROBE_MODULE naming it.
#include "ProbeState.h"

#include <cstdlib>
#include <new>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace talven::testplugin {
namespace {

// The mapped file: a readiness word, then the record.
struct SharedFile {
    std::atomic<int32_t> state; // 0 fresh (zero-filled), 1 being set up, 2 ready
    ProbeRecord record;
};

enum : int32_t { kFresh = 0, kSettingUp = 1, kReady = 2 };

// The first process to map the file constructs the record; any other waits
// until it is ready.
ProbeRecord* adopt(void* memory)
{
    auto* file = static_cast<SharedFile*>(memory);
    int32_t expected = kFresh;
    if (file->state.compare_exchange_strong(expected, kSettingUp)) {
        new (&file->record) ProbeRecord;
        file->state = kReady;
    }
    while (file->state.load() != kReady)
        std::this_thread::yield();
    return &file->record;
}

// Maps the shared file for the module's lifetime; empty when not asked for
// or when the file cannot be mapped (the module's own record is used then).
class SharedMapping {
public:
    SharedMapping()
    {
        const char* folder = std::getenv("TALVEN_PROBE_SHARED");
        if (!folder || !*folder)
            return;
        const std::string path = std::string(folder) + "/" TALVEN_PROBE_MODULE ".probe";
#ifdef _WIN32
        file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE)
            return;
        // Grows the file, zero-filled, to the record's size.
        mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READWRITE, 0, sizeof(SharedFile), nullptr);
        void* view = mapping_ ? MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedFile)) : nullptr;
        if (view) {
            view_ = view;
            record_ = adopt(view);
        }
#else
        const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (descriptor < 0)
            return;
        struct stat info {};
        // Growing a file that another process already grew changes nothing.
        const bool sized = ::fstat(descriptor, &info) == 0 &&
                           (info.st_size >= static_cast<off_t>(sizeof(SharedFile)) ||
                            ::ftruncate(descriptor, sizeof(SharedFile)) == 0);
        void* view = sized ? ::mmap(nullptr, sizeof(SharedFile), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0)
                           : MAP_FAILED;
        ::close(descriptor);
        if (view != MAP_FAILED) {
            view_ = view;
            record_ = adopt(view);
        }
#endif
    }

    ~SharedMapping()
    {
#ifdef _WIN32
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
#else
        if (view_)
            ::munmap(view_, sizeof(SharedFile));
#endif
    }

    SharedMapping(const SharedMapping&) = delete;
    SharedMapping& operator=(const SharedMapping&) = delete;

    ProbeRecord* record() const { return record_; }

private:
    ProbeRecord* record_ = nullptr;
    void* view_ = nullptr;
#ifdef _WIN32
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
#endif
};

} // namespace

ProbeRecord& probeRecord()
{
    static ProbeRecord own;
    static const SharedMapping shared;
    return shared.record() ? *shared.record() : own;
}

} // namespace talven::testplugin
