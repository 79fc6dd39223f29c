#pragma once

#include "isolation/IsolatedLink.h"
#include "registry/HandleRecord.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace talven {

struct AttachOptions;

// A plug-in attached to a BASS channel that runs in a process of its own:
// the record behind its handle, in the same table as the in-process ones.
// BASS's DSP reaches it directly; the attachment's hold keeps it alive while
// the DSP is set (the detach takes the DSP off first; a channel's free runs
// its sync after the last block).
class IsolatedInstance final : public HandleRecord {
public:
    std::atomic<std::uint32_t> channel{0};
    std::atomic<std::uint32_t> dspHandle{0};
    std::atomic<std::uint32_t> syncHandle{0};
    std::atomic<bool> attached{false};
    // Detached while its channel's free waited for the block in progress,
    // which BASS would not let the detach take the DSP off: the process,
    // the handle and the attachment's hold stay until the channel-freed
    // sync, after that block, as an attachment in the program's own process
    // does. The sync notes that it ran, for a detach that meets it.
    std::atomic<bool> lingering{false};
    std::atomic<bool> freeSyncRan{false};
    std::uint32_t channelCount = 0;
    std::uint32_t rate = 0;
    bool floatChannel = false;
    // The shortest wait for a block, whatever its duration.
    std::uint32_t minimumWaitMicroseconds = 0;
    std::shared_ptr<IsolatedLink> link;
    // Audio thread only: blocks in a row the process did not give back,
    // their frames, and whether it was ended for them.
    std::uint32_t lateInRow = 0;
    std::uint64_t lateFramesInRow = 0;
    bool gaveUp = false;
    std::atomic<std::uint64_t> lateBlocks{0};

    void takeCallbacksOffBass() noexcept override;

private:
    friend struct std::default_delete<IsolatedInstance>;
    ~IsolatedInstance() override = default;
    void destroy() noexcept override;
};

// Attaches in a process of its own; the handle, or 0 with nothing left
// behind. Caller's thread.
std::uint32_t attachIsolated(std::uint32_t channel, const char* path, const AttachOptions& options);

// The link of the isolated attachment under handle, or null when the handle
// names none (or an in-process one); lingeringToo: also of one detached
// whose last block is still under way. Any thread.
std::shared_ptr<IsolatedLink> isolatedLinkOf(std::uint32_t handle, bool lingeringToo = true);

// Takes an isolated attachment off its channel and ends its process (once
// the block in progress is over, when the channel's free holds it): 1, or
// 0 when handle names none or it was taken off already; -1 when the handle
// names an in-process attachment (the caller detaches that). Caller's thread.
int detachIsolated(std::uint32_t handle);

} // namespace talven
