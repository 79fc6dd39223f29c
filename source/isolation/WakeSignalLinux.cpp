#include "isolation/WakeSignal.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace talven {
namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t)
                  && std::atomic<std::uint32_t>::is_always_lock_free,
              "a futex word must be a plain lock-free 32-bit word");

// The shared (not process-private) futex operations: the word lives in
// memory mapped by two processes.
class FutexSignal final : public WakeSignal {
public:
    explicit FutexSignal(std::atomic<std::uint32_t>& word) : word_(reinterpret_cast<std::uint32_t*>(&word)) {}

    std::uint64_t handle() const override { return 0; }

    void wake() override { syscall(SYS_futex, word_, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0); }

    void waitWhile(std::uint32_t seen, std::chrono::microseconds timeout) override
    {
        if (timeout.count() <= 0)
            return;
        timespec relative{};
        relative.tv_sec = static_cast<time_t>(timeout.count() / 1000000);
        relative.tv_nsec = static_cast<long>((timeout.count() % 1000000) * 1000);
        // Returns at once when the word no longer holds seen; EINTR and
        // timeouts are the caller's to look at.
        syscall(SYS_futex, word_, FUTEX_WAIT, seen, &relative, nullptr, 0);
    }

private:
    std::uint32_t* word_;
};

} // namespace

std::chrono::microseconds WakeSignal::shortestTimedWait()
{
    // Kept to within microseconds, but the wake-up costs tens of them.
    return std::chrono::microseconds(200);
}

std::unique_ptr<WakeSignal> WakeSignal::create(std::atomic<std::uint32_t>& word)
{
    return std::make_unique<FutexSignal>(word);
}

std::unique_ptr<WakeSignal> WakeSignal::open(std::atomic<std::uint32_t>& word, std::uint64_t)
{
    return std::make_unique<FutexSignal>(word);
}

} // namespace talven
