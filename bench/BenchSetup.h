// What the benchmarks share: the plug-ins they run, a test signal, a plug-in
// attached through the library and reached as BASS reaches it, and the
// statistics of per-block timings.
#pragma once

#include "bass.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace talven::bench {

constexpr DWORD kRate = 48000;
constexpr int kChannels = 2;

using Clock = std::chrono::steady_clock;

inline double microseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

// The plug-ins measured, by the index the benchmarks take as argument.
enum PluginIndex { kProbeStereo = 0, kZamCompX2 = 1, kZaMaximX2 = 2 };
std::string pluginName(int index);
std::string pluginPath(int index);

// One second of a distinct tone per channel, interleaved, handed out block
// by block in a loop.
class Signal {
public:
    explicit Signal(int channels);
    // The next frames of the signal into block (frames x channels floats).
    void next(float* block, int frames);

private:
    int channels_;
    std::vector<float> samples_;
    std::size_t position_ = 0;
};

// A plug-in attached by the library to a stereo float decode channel of its
// own, as a program attaches one. block() runs a block through the DSP
// function the library set on the channel, called as BASS calls it, with the
// user value BASS was given: the library's whole block path and nothing of
// the engine's. The channel is never pulled, so no other call runs the DSP.
// Made, used and destroyed on one thread.
class AttachedPlugin {
public:
    explicit AttachedPlugin(const std::string& path);
    ~AttachedPlugin();
    AttachedPlugin(const AttachedPlugin&) = delete;
    AttachedPlugin& operator=(const AttachedPlugin&) = delete;

    bool ready() const { return record_ != nullptr; }
    std::uint32_t handle() const { return handle_; }
    void block(float* samples, int frames);

private:
    HSTREAM stream_ = 0;
    std::uint32_t handle_ = 0;
    void* record_ = nullptr;
};

// Per-block timings in microseconds, with their order statistics. Room for
// the expected count is made before the timed loop, so adding allocates
// nothing there.
class Timings {
public:
    explicit Timings(std::size_t expected) { values_.reserve(expected); }
    void add(double value) { values_.push_back(value); }
    // q in [0, 1]: 0.5 the median, 1 the largest. Sorts a copy.
    double quantile(double q) const;
    double median() const { return quantile(0.5); }
    double worst() const { return quantile(1.0); }
    std::size_t size() const { return values_.size(); }

private:
    std::vector<double> values_;
};

// The directory the disk trace figures are taken in (TALVEN_BENCH_DISK_DIR),
// or "" when none was given.
std::string diskDirectory();
// The file system type of a directory, for the labels ("tmpfs", "ext4", ...).
std::string fileSystemOf(const std::string& directory);

} // namespace talven::bench
