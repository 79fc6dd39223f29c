#include "platform/ThreadTimer.h"

#include "platform/ScopedLock.h"
#include "platform/StaticRecursiveLock.h"

#include <windows.h>

#include <memory>

namespace talven {
namespace {

// One running timer. SetTimer's procedure carries no user value; the
// identifier leads back to the procedure the caller gave.
struct Timer {
    UINT_PTR id = 0;
    ThreadTimerProc proc = nullptr;
    HMODULE pin = nullptr; // the load that keeps the library mapped while it runs
    Timer* next = nullptr;
};

// No static destructor here: see ThreadTimer.h.
StaticRecursiveLock timersLock;
Timer* runningTimers = nullptr; // guarded by timersLock

// Set while this thread runs a tick. A timer killed from inside a tick gives
// its load back only once the tick has returned (pinAfterTick), so that the
// library cannot go while this thread is still in its code.
thread_local bool inTick = false;
thread_local HMODULE pinAfterTick = nullptr;

void releasePinLater(HMODULE pin);

void CALLBACK dispatchTick(HWND, UINT, UINT_PTR id, DWORD)
{
    ThreadTimerProc proc = nullptr;
    {
        ScopedLock guard(timersLock);
        for (Timer* timer = runningTimers; timer; timer = timer->next) {
            if (timer->id == id)
                proc = timer->proc;
        }
    }
    if (!proc)
        return;
    inTick = true;
    proc();
    inTick = false;
    // Last: the pool thread frees the library at the earliest after this.
    HMODULE pin = pinAfterTick;
    pinAfterTick = nullptr;
    releasePinLater(pin);
}

// One more load of the module holding this code; null when that module is
// the program itself, which is never unloaded.
HMODULE pinOwnModule()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&dispatchTick),
                            &module))
        return nullptr;
    if (module == GetModuleHandleW(nullptr)) {
        FreeLibrary(module);
        return nullptr;
    }
    return module;
}

VOID CALLBACK releasePin(PTP_CALLBACK_INSTANCE instance, PVOID module)
{
    FreeLibraryWhenCallbackReturns(instance, static_cast<HMODULE>(module));
}

// Gives the load back on a pool thread, after the caller (perhaps a tick of
// this very library) has returned. If that cannot be arranged the library
// stays loaded, which is safe.
void releasePinLater(HMODULE pin)
{
    if (pin)
        TrySubmitThreadpoolCallback(releasePin, pin, nullptr);
}

// Kills the timer, which only its own thread can do. A timer that cannot be
// killed keeps ticking into dispatchTick (finding no procedure), so its load
// is kept for good.
void stopTimer(std::unique_ptr<Timer> timer)
{
    if (!KillTimer(nullptr, timer->id))
        return;
    if (inTick && !pinAfterTick)
        pinAfterTick = timer->pin;
    else
        releasePinLater(timer->pin);
}

} // namespace

std::uint32_t startThreadTimer(std::uint32_t periodMs, ThreadTimerProc proc)
{
    if (!proc)
        return 0;
    std::unique_ptr<Timer> timer;
    try {
        timer = std::make_unique<Timer>();
    } catch (...) {
        return 0;
    }
    timer->proc = proc;
    timer->pin = pinOwnModule();
    ScopedLock guard(timersLock);
    timer->id = SetTimer(nullptr, 0, periodMs, dispatchTick);
    if (timer->id == 0) {
        if (timer->pin)
            FreeLibrary(timer->pin); // the caller's own load still holds the library
        return 0;
    }
    timer->next = runningTimers;
    runningTimers = timer.release();
    return static_cast<std::uint32_t>(runningTimers->id);
}

void killThreadTimer(std::uint32_t id)
{
    if (id == 0)
        return;
    std::unique_ptr<Timer> found;
    {
        ScopedLock guard(timersLock);
        for (Timer** link = &runningTimers; *link; link = &(*link)->next) {
            if ((*link)->id == id) {
                found.reset(*link);
                *link = found->next;
                break;
            }
        }
    }
    if (found)
        stopTimer(std::move(found));
}

void stopAllThreadTimers()
{
    Timer* all = nullptr;
    {
        ScopedLock guard(timersLock);
        all = runningTimers;
        runningTimers = nullptr;
    }
    while (all) {
        std::unique_ptr<Timer> timer(all);
        all = timer->next;
        stopTimer(std::move(timer));
    }
}

} // namespace talven
