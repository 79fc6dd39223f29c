#include "editor/PostedWindowTasks.h"

#include <map>
#include <mutex>
#include <vector>

namespace talven {
namespace {

struct Posted {
    HWND window = nullptr;
    HANDLE thread = nullptr; // SYNCHRONIZE access, to ask whether it ended
    std::unique_ptr<WindowTask> task;
};

// Lives as long as the library's code is mapped: never destroyed, since a
// sweep may run while static objects are torn down at exit.
struct Table {
    std::mutex lock;
    std::map<std::uint64_t, Posted> posted;
    std::uint64_t nextId = 0;
};

Table& table()
{
    static Table* const instance = new Table;
    return *instance;
}

bool abandoned(const Posted& posted)
{
    if (!IsWindow(posted.window))
        return true;
    return posted.thread && WaitForSingleObject(posted.thread, 0) == WAIT_OBJECT_0;
}

void closeThreadHandle(Posted& posted)
{
    if (posted.thread)
        CloseHandle(posted.thread);
    posted.thread = nullptr;
}

} // namespace

std::uint64_t PostedWindowTasks::add(HWND window, DWORD thread, std::unique_ptr<WindowTask>& task)
{
    try {
        Table& t = table();
        Posted posted;
        posted.window = window;
        posted.thread = OpenThread(SYNCHRONIZE, FALSE, thread);
        std::lock_guard<std::mutex> guard(t.lock);
        const std::uint64_t id = ++t.nextId;
        posted.task = std::move(task);
        t.posted.emplace(id, std::move(posted));
        return id;
    } catch (...) {
        return 0;
    }
}

std::unique_ptr<WindowTask> PostedWindowTasks::take(std::uint64_t id)
{
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto found = t.posted.find(id);
    if (found == t.posted.end())
        return nullptr;
    std::unique_ptr<WindowTask> task = std::move(found->second.task);
    closeThreadHandle(found->second);
    t.posted.erase(found);
    return task;
}

void PostedWindowTasks::runAbandoned() noexcept
{
    std::vector<std::unique_ptr<WindowTask>> orphans;
    try {
        Table& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        for (auto it = t.posted.begin(); it != t.posted.end();) {
            if (!abandoned(it->second)) {
                ++it;
                continue;
            }
            orphans.push_back(std::move(it->second.task));
            closeThreadHandle(it->second);
            it = t.posted.erase(it);
        }
    } catch (...) {
    }
    // Run outside the table's lock: a teardown calls into the plug-in.
    for (auto& task : orphans)
        task->runOrphaned();
}

} // namespace talven
