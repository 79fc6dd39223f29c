#include "MessagePump.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace talven::validate {

void pumpMessages(std::chrono::milliseconds duration)
{
#ifdef _WIN32
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    }
#else
    std::this_thread::sleep_for(duration);
#endif
}

} // namespace talven::validate
