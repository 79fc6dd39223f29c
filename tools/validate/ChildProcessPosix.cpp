#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace talven::validate {

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ownProgramPath()
{
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    path.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return path;
}

ProcessEnd runProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputPath, const std::string& errorPath, std::chrono::seconds timeout)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errorPath.empty())
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ProcessEnd end;
    if (spawned != 0)
        return end;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return end;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            end.kind = ProcessEnd::TimedOut;
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status)) {
        end.kind = ProcessEnd::Exited;
        end.code = WEXITSTATUS(status);
    } else {
        end.kind = ProcessEnd::Crashed;
        end.code = WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    }
    return end;
}

std::string describeEnd(const ProcessEnd& end, std::chrono::seconds timeout)
{
    switch (end.kind) {
    case ProcessEnd::Exited:
        return "exited with code " + std::to_string(end.code);
    case ProcessEnd::Crashed: {
        const char* name = sigabbrev_np(static_cast<int>(end.code));
        return "crashed (signal " + std::to_string(end.code) + (name ? std::string(", SIG") + name : "") + ")";
    }
    case ProcessEnd::TimedOut:
        return "timed out after " + std::to_string(timeout.count()) + " s";
    case ProcessEnd::NotStarted:
        break;
    }
    return "could not be started";
}

} // namespace talven::validate
