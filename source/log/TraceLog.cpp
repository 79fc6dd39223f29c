#include "log/TraceLog.h"

#include <ctime>
#include <fstream>
#include <iostream>

namespace talven {
namespace {

bool toLocalTime(std::time_t now, std::tm& local)
{
#ifdef _WIN32
    return localtime_s(&local, &now) == 0;
#else
    return localtime_r(&now, &local) != nullptr;
#endif
}

} // namespace

void writeTraceLine(std::string_view message) noexcept
{
    try {
        // Text mode: on Windows the newline reaches the file as CR LF.
        std::ofstream file(kTraceFileName, std::ios::out | std::ios::app);
        if (!file.is_open()) {
            std::cout << "Error: Unable to open log file for writing." << std::endl;
            return;
        }
        char stamp[20] = {};
        std::tm local{};
        if (toLocalTime(std::time(nullptr), local))
            std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
        file << '[' << stamp << "] ";
        file.write(message.data(), static_cast<std::streamsize>(message.size()));
        file << std::endl;
        file.close();
    } catch (...) {
        // Tracing must never disturb the operation that traces.
    }
}

} // namespace talven
