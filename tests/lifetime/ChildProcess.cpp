#include "ChildProcess.h"

#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace talven::test {

#ifdef _WIN32
namespace {

std::wstring besideThisProgram(const std::string& program)
{
    std::vector<wchar_t> own(32768);
    const DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
    std::wstring path(own.data(), length);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + std::wstring(program.begin(), program.end()) + L".exe";
}

} // namespace

ChildOutcome runBesideThisProgram(const std::string& program, const std::string& argument,
                                  std::chrono::seconds limit)
{
    const std::wstring path = besideThisProgram(program);
    std::wstring commandLine = L"\"" + path + L"\" " + std::wstring(argument.begin(), argument.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ChildOutcome outcome;
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return outcome;
    const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(limit.count() * 1000));
    if (waited == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        outcome.finished = true;
        outcome.exitCode = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return outcome;
}
#else
namespace {

std::string besideThisProgram(const std::string& program)
{
    std::vector<char> own(4096);
    const ssize_t length = readlink("/proc/self/exe", own.data(), own.size() - 1);
    std::string path(own.data(), length > 0 ? static_cast<size_t>(length) : 0);
    path.erase(path.find_last_of('/') + 1);
    return path + program;
}

} // namespace

ChildOutcome runBesideThisProgram(const std::string& program, const std::string& argument,
                                  std::chrono::seconds limit)
{
    std::string path = besideThisProgram(program);
    std::string arg = argument;
    char* argv[] = {path.data(), arg.data(), nullptr};
    pid_t child = 0;
    ChildOutcome outcome;
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0)
        return outcome;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0)
            return outcome;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return outcome;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    outcome.finished = true;
    if (WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        outcome.exitCode = 128 + WTERMSIG(status);
    return outcome;
}
#endif

} // namespace talven::test
