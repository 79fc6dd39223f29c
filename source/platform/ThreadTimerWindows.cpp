#include "platform/ThreadTimer.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace talven {
namespace {

// SetTimer's procedure carries no user value; its identifier leads back to
// the procedure the caller gave.
std::mutex& procsLock()
{
    static std::mutex lock;
    return lock;
}

std::map<UINT_PTR, ThreadTimerProc>& procs()
{
    static std::map<UINT_PTR, ThreadTimerProc> table;
    return table;
}

void CALLBACK dispatchTick(HWND, UINT, UINT_PTR id, DWORD)
{
    ThreadTimerProc proc = nullptr;
    {
        std::lock_guard<std::mutex> guard(procsLock());
        auto found = procs().find(id);
        if (found != procs().end())
            proc = found->second;
    }
    if (proc)
        proc();
}

} // namespace

std::uint32_t startThreadTimer(std::uint32_t periodMs, ThreadTimerProc proc)
{
    if (!proc)
        return 0;
    std::lock_guard<std::mutex> guard(procsLock());
    UINT_PTR id = SetTimer(nullptr, 0, periodMs, dispatchTick);
    if (id == 0)
        return 0;
    procs()[id] = proc;
    return static_cast<std::uint32_t>(id);
}

void killThreadTimer(std::uint32_t id)
{
    if (id == 0)
        return;
    std::lock_guard<std::mutex> guard(procsLock());
    KillTimer(nullptr, id);
    procs().erase(id);
}

} // namespace talven
