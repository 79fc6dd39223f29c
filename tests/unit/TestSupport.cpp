#include "TestSupport.h"

#include "log/TraceLog.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <iterator>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace talven::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
#ifdef _WIN32
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
#endif
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void finishesWithin(const std::function<void()>& call, std::chrono::milliseconds bound)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread runner([call, done] {
        call();
        done->store(true);
    });
    if (!waitUntil([&] { return done->load(); }, bound)) {
        std::fprintf(stderr, "FAILED: a call did not finish within %lld ms (hang)\n",
                     static_cast<long long>(bound.count()));
        std::fflush(stderr);
        std::_Exit(3);
    }
    runner.join();
}

std::string readTraceFile()
{
    std::ifstream file(kTraceFileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void removeTraceFile()
{
    std::remove(kTraceFileName);
}

// Counts trace lines whose message (the text after the time stamp) is line.
int countLines(const std::string& text, const std::string& line)
{
    std::istringstream lines(text);
    std::string current;
    int found = 0;
    while (std::getline(lines, current)) {
        if (!current.empty() && current.back() == '\r')
            current.pop_back();
        const auto close = current.find("] ");
        if (close != std::string::npos && current.substr(close + 2) == line)
            ++found;
    }
    return found;
}

} // namespace talven::test
