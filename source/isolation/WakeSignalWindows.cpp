#include "isolation/WakeSignal.h"

#include <windows.h>

namespace talven {
namespace {

// An auto-reset event beside the word: a wake with no waiter is kept for the
// next wait, which then looks at the word again.
class EventSignal final : public WakeSignal {
public:
    EventSignal(std::atomic<std::uint32_t>& word, HANDLE event) : word_(word), event_(event) {}
    ~EventSignal() override { CloseHandle(event_); }

    std::uint64_t handle() const override { return reinterpret_cast<std::uintptr_t>(event_); }

    void wake() override { SetEvent(event_); }

    void waitWhile(std::uint32_t seen, std::chrono::microseconds timeout) override
    {
        if (timeout.count() <= 0 || word_.load(std::memory_order_acquire) != seen)
            return;
        // Whole milliseconds, rounded up: a shorter wait would spin.
        const auto ms = static_cast<DWORD>((timeout.count() + 999) / 1000);
        WaitForSingleObject(event_, ms);
    }

private:
    std::atomic<std::uint32_t>& word_;
    HANDLE event_;
};

} // namespace

std::chrono::microseconds WakeSignal::shortestTimedWait()
{
    // Waits count whole milliseconds.
    return std::chrono::microseconds(1000);
}

std::unique_ptr<WakeSignal> WakeSignal::create(std::atomic<std::uint32_t>& word)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE event = CreateEventW(&inherit, FALSE, FALSE, nullptr);
    if (!event)
        return nullptr;
    return std::make_unique<EventSignal>(word, event);
}

std::unique_ptr<WakeSignal> WakeSignal::open(std::atomic<std::uint32_t>& word, std::uint64_t handle)
{
    HANDLE event = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle)),
                         GetCurrentProcess(), &event, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return std::make_unique<EventSignal>(word, event);
}

} // namespace talven
