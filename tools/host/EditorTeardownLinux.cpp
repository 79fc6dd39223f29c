#include "EditorTeardown.h"

#include <dirent.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace talven::host {
namespace {

// The library names its editor thread; the process's threads say their
// names in /proc.
bool editorThreadRuns()
{
    const std::unique_ptr<DIR, int (*)(DIR*)> tasks(::opendir("/proc/self/task"), &::closedir);
    if (!tasks)
        return false;
    while (const dirent* entry = ::readdir(tasks.get())) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name == "talven-editor")
            return true;
    }
    return false;
}

} // namespace

void awaitEditorTeardown()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (editorThreadRuns() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace talven::host
