#include "CallLog.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

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
    std::lock_guard<std::mutex> guard(log().mutex);
    log().lines.push_back(std::move(line));
}

std::string callLogText()
{
    std::lock_guard<std::mutex> guard(log().mutex);
    std::string text;
    for (const auto& line : log().lines)
        text += line;
    return text;
}

void clearCallLog()
{
    std::lock_guard<std::mutex> guard(log().mutex);
    log().lines.clear();
}

} // namespace talven::testplugin
