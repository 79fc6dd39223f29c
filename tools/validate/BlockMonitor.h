// A DSP of the validator's own, after the plug-in in a channel's chain:
// shows that audio runs, and what the plug-in made of it.
#pragma once

#include "bass.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace talven::validate {

class BlockMonitor {
public:
    // Sets itself on channel at a priority below every plug-in's.
    explicit BlockMonitor(HSTREAM channel);
    ~BlockMonitor();
    BlockMonitor(const BlockMonitor&) = delete;
    BlockMonitor& operator=(const BlockMonitor&) = delete;

    bool ok() const { return dsp_ != 0; }
    std::uint64_t blocks() const { return blocks_; }
    std::uint64_t nonFiniteBlocks() const { return nonFinite_; }

    // Waits until count more blocks than now went by; false after a
    // generous bound (audio stalled).
    bool waitForBlocks(std::uint64_t count, std::chrono::milliseconds bound = std::chrono::seconds(20));

    // Removes the DSP (before a census, which counts only the plug-ins').
    void remove();

private:
    // The channel's rendering thread.
    static void CALLBACK dspProc(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);

    HSTREAM channel_;
    HDSP dsp_ = 0;
    std::atomic<std::uint64_t> blocks_{0};
    std::atomic<std::uint64_t> nonFinite_{0};
};

} // namespace talven::validate
