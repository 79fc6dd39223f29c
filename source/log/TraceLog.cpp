#include "log/TraceLog.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace talven {
namespace {

std::atomic<bool> traceEnabled{true};

// The file is opened in text mode where there is one: Windows ends lines
// with CR LF.
#ifdef _WIN32
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

// Lines up to this long are put together on the stack.
constexpr std::size_t kLineCapacity = 448;
constexpr std::size_t kStampLength = 19; // "YYYY-MM-DD HH:MM:SS"

// The local time as "%Y-%m-%d %H:%M:%S" into stamp (20 bytes); empty when the
// time cannot be converted. A re-entrant conversion: nothing shared between
// threads, no time zone read again for every line.
void formatLocalTime(char (&stamp)[kStampLength + 1])
{
    stamp[0] = '\0';
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0)
        return;
#else
    if (!localtime_r(&now, &local))
        return;
#endif
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
}

void reportUnopenable()
{
    std::fputs("Error: Unable to open log file for writing.\n", stdout);
    std::fflush(stdout);
}

// Opens the file for appending (created when missing, shared with every
// other opener), writes the line in one call, and closes it.
void appendLine(const char* line, std::size_t length)
{
#ifdef _WIN32
    const HANDLE file = CreateFileA(kTraceFileName, FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reportUnopenable();
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
#else
    // Without O_CREAT first: creating takes the directory's lock, which an
    // open of the file that is there (every line but the first) needs not.
    int file = ::open(kTraceFileName, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (file < 0 && errno == ENOENT)
        file = ::open(kTraceFileName, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0) {
        reportUnopenable();
        return;
    }
    while (length > 0) {
        const ssize_t written = ::write(file, line, length);
        if (written <= 0)
            break;
        line += written;
        length -= static_cast<std::size_t>(written);
    }
    ::close(file);
#endif
}

} // namespace

void writeTraceLine(std::string_view message) noexcept
{
    if (!traceEnabled.load(std::memory_order_relaxed))
        return;
    char stamp[kStampLength + 1];
    formatLocalTime(stamp);
    const std::size_t stampLength = std::strlen(stamp);
    const std::size_t length = 1 + stampLength + 2 + message.size() + kLineEnd.size();
    try {
        char small[kLineCapacity];
        std::string large;
        char* line = small;
        if (length > sizeof small) {
            large.resize(length);
            line = large.data();
        }
        char* at = line;
        *at++ = '[';
        std::memcpy(at, stamp, stampLength);
        at += stampLength;
        *at++ = ']';
        *at++ = ' ';
        if (!message.empty())
            std::memcpy(at, message.data(), message.size());
        at += message.size();
        std::memcpy(at, kLineEnd.data(), kLineEnd.size());
        appendLine(line, length);
    } catch (...) {
        // Tracing must never disturb the operation that traces.
    }
}

bool setTraceEnabled(bool enabled) noexcept
{
    return traceEnabled.exchange(enabled);
}

} // namespace talven
