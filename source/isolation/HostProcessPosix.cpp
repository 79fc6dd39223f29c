#include "isolation/HostProcess.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace talven {
namespace {

class PosixHostProcess final : public HostProcess {
public:
    explicit PosixHostProcess(pid_t pid) : pid_(pid) {}
    // A process that was never waited for is ended and reaped here, so that
    // no zombie stays behind.
    ~PosixHostProcess() override
    {
        if (!reaped_) {
            ::kill(pid_, SIGKILL);
            reap();
        }
    }

    void waitForEnd() override
    {
        reap();
    }

    void kill() override
    {
        if (!reaped_)
            ::kill(pid_, SIGKILL);
    }

private:
    void reap()
    {
        int status = 0;
        // ECHILD: the program reaps its children itself (or ignores
        // SIGCHLD); the process is gone either way.
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }

    pid_t pid_;
    // Set by the watcher; read by kill() on other threads.
    std::atomic<bool> reaped_{false};
};

} // namespace

std::unique_ptr<HostProcess> HostProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                                                const std::vector<std::uint64_t>& inherited)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return nullptr;
    bool ready = true;
    // A duplicate onto itself clears close-on-exec for the child only.
    for (std::uint64_t descriptor : inherited)
        ready = ready && posix_spawn_file_actions_adddup2(&actions, static_cast<int>(descriptor),
                                                          static_cast<int>(descriptor)) == 0;
    pid_t pid = 0;
    const bool started = ready && posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started)
        return nullptr;
    return std::make_unique<PosixHostProcess>(pid);
}

} // namespace talven
