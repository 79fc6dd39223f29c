#include "IsolationTestSupport.h"

#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <sys/wait.h>
#endif

namespace talven::test {
namespace {

#ifndef _WIN32
long entriesOf(const char* folderPath)
{
    long count = 0;
    if (DIR* folder = opendir(folderPath)) {
        while (readdir(folder))
            ++count;
        closedir(folder);
    }
    return count;
}
#endif

} // namespace

void setMinimumWait(const char* ms)
{
#ifdef _WIN32
    _putenv_s("TALVEN_ISOLATED_MIN_WAIT_MS", ms);
#else
    setenv("TALVEN_ISOLATED_MIN_WAIT_MS", ms, 1);
#endif
}

std::uint32_t attachTestPlugin(std::uint32_t channel, const char* plugin, bool isolated, const char* classId)
{
    const std::string path = testPluginPath(plugin);
    TALVEN_ATTACH options{};
    options.size = sizeof options;
    options.path = path.c_str();
    options.classId = classId;
    options.flags = isolated ? TALVEN_ATTACH_ISOLATED : 0;
    return TALVEN_ChannelSetDSPWith(channel, &options);
}

long openHandles()
{
#ifdef _WIN32
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<long>(count);
#else
    return entriesOf("/proc/self/fd");
#endif
}

bool noHandlesBeyond(long before)
{
#ifdef _WIN32
    return openHandles() <= before + 8;
#else
    return openHandles() <= before;
#endif
}

long threadCount()
{
#ifdef _WIN32
    return 0;
#else
    return entriesOf("/proc/self/task");
#endif
}

void expectNoChildProcess()
{
#ifndef _WIN32
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
#endif
}

} // namespace talven::test
