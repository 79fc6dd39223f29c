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
                                                const std::vector<std::uint64_t>& inherited,
                                                const std::vector<std::string>& libraryFolders)
{
    // The environment, with the library folders first in LD_LIBRARY_PATH.
    std::vector<std::string> environment;
    std::string libraryPath;
    for (const std::string& folder : libraryFolders)
        libraryPath += (libraryPath.empty() ? "" : ":") + folder;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (text.rfind("LD_LIBRARY_PATH=", 0) == 0) {
            const std::string old = text.substr(16);
            if (!old.empty())
                libraryPath += (libraryPath.empty() ? "" : ":") + old;
        } else {
            environment.push_back(text);
        }
    }
    if (!libraryPath.empty())
        environment.push_back("LD_LIBRARY_PATH=" + libraryPath);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

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
    const bool started =
        ready && posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!started)
        return nullptr;
    return std::make_unique<PosixHostProcess>(pid);
}

} // namespace talven
