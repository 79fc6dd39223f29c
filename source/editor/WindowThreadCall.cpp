#include "editor/WindowThreadCall.h"

#include <atomic>
#include <exception>

namespace talven {
namespace {

// One call handed over: run once, by whichever hook sees its message first
// (two callers may hook the same thread at once).
struct HandedCall {
    const std::function<void()>* work;
    std::atomic<bool> taken{false};
    std::exception_ptr error;
};

UINT handedCallMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Talven.EditorCall");
    return message;
}

// A hook on the window's thread: it sees every message sent to that thread's
// windows before their procedures do, so that the program's own window
// carries the call without a window of the library's on that thread. The
// message itself then reaches the program's procedure, whose default
// handling ignores it.
LRESULT CALLBACK callHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && lParam) {
        const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent.message == handedCallMessage() && sent.lParam) {
            auto& call = *reinterpret_cast<HandedCall*>(sent.lParam);
            if (!call.taken.exchange(true)) {
                try {
                    (*call.work)();
                } catch (...) {
                    call.error = std::current_exception();
                }
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

void runOnWindowThread(HWND window, const std::function<void()>& work)
{
    const DWORD owner = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (owner == 0 || owner == GetCurrentThreadId()) {
        work();
        return;
    }
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, callHook, nullptr, owner);
    if (!hook)
        return;
    HandedCall call;
    call.work = &work;
    // Waits until the owner's dispatch delivered it (or the window is gone).
    SendMessageW(window, handedCallMessage(), 0, reinterpret_cast<LPARAM>(&call));
    UnhookWindowsHookEx(hook);
    if (call.error)
        std::rethrow_exception(call.error);
}

} // namespace talven
