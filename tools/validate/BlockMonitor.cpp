#include "BlockMonitor.h"

#include "Signal.h"

#include <climits>
#include <thread>

namespace talven::validate {

BlockMonitor::BlockMonitor(HSTREAM channel) : channel_(channel)
{
    dsp_ = BASS_ChannelSetDSP(channel, dspProc, this, INT_MIN);
}

BlockMonitor::~BlockMonitor()
{
    remove();
}

void BlockMonitor::remove()
{
    // Waits for a call in progress, so this object may go afterwards; on a
    // channel already freed the DSP is gone with it.
    if (dsp_)
        BASS_ChannelRemoveDSP(channel_, dsp_);
    dsp_ = 0;
}

bool BlockMonitor::waitForBlocks(std::uint64_t count, std::chrono::milliseconds bound)
{
    const std::uint64_t target = blocks_ + count;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (blocks_ < target) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void CALLBACK BlockMonitor::dspProc(HDSP, DWORD, void* buffer, DWORD length, void* user)
{
    auto& monitor = *static_cast<BlockMonitor*>(user);
    const std::size_t count = length / sizeof(float);
    if (firstNonFinite(static_cast<const float*>(buffer), count) != count)
        ++monitor.nonFinite_;
    ++monitor.blocks_;
}

} // namespace talven::validate
