// Compiled into each recording plug-in, TALVEN_TEST_PLUGIN_NAME naming it:
// with TALVEN_PROBE_SHARED set, the log is the text of the file
// <folder>/<module>.calls, which every process loading the module maps.
#include "CallLog.h"
#include "SharedFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace talven::testplugin {
namespace {

struct Log {
    std::mutex mutex;
    std::vector<std::string> lines;
};

Log& log()
{
    static Log instance;
    return instance;
}

// The shared form: the lines as one text, cut at its capacity.
struct SharedLog {
    SharedSpinLock lock;
    std::size_t length = 0;
    char text[1 << 20];
};

SharedLog* sharedLog()
{
    static const SharedFile file(TALVEN_TEST_PLUGIN_NAME ".calls", sizeof(SharedRecord<SharedLog>));
    static SharedLog* const shared = file.data() ? SharedRecord<SharedLog>::adopt(file.data()) : nullptr;
    return shared;
}

} // namespace

std::uint64_t currentThreadTag()
{
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<std::uint64_t>(pthread_self());
#endif
}

void recordCall(const std::string& call)
{
    std::string line = call + "@" + std::to_string(currentThreadTag()) + "\n";
    if (SharedLog* shared = sharedLog()) {
        std::lock_guard<SharedSpinLock> guard(shared->lock);
        const std::size_t size = std::min(line.size(), sizeof shared->text - shared->length);
        std::memcpy(shared->text + shared->length, line.data(), size);
        shared->length += size;
        return;
    }
    std::lock_guard<std::mutex> guard(log().mutex);
    log().lines.push_back(std::move(line));
}

std::string callLogText()
{
    if (SharedLog* shared = sharedLog()) {
        std::lock_guard<SharedSpinLock> guard(shared->lock);
        return std::string(shared->text, shared->length);
    }
    std::lock_guard<std::mutex> guard(log().mutex);
    std::string text;
    for (const auto& line : log().lines)
        text += line;
    return text;
}

void clearCallLog()
{
    if (SharedLog* shared = sharedLog()) {
        std::lock_guard<SharedSpinLock> guard(shared->lock);
        shared->length = 0;
        return;
    }
    std::lock_guard<std::mutex> guard(log().mutex);
    log().lines.clear();
}

} // namespace talven::testplugin
