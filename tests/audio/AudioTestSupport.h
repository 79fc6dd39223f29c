// Shared pieces of the audio tests: an engine per test, distinct signals
// per channel and the probe plug-ins' counters. The reference a block is
// held against is support::DirectProcessor (tests/support).
#pragma once

#include "ProbeExports.h"
#include "bass.h"

#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace talven::test {

constexpr DWORD kRate = 48000;

// How many times the stress loops run: a few thousand natively, fewer
// where every iteration costs much more (sanitizers, Wine).
int stressIterations(int native);

// The package path of a test plug-in built by this tree.
std::string testPluginPath(const std::string& name);

// Sample of channel c at frame j: every channel its own tone and offset, so
// that a channel mix-up or a shifted frame shows.
float signalSample(std::int64_t frame, int channel);
// frames x channels of that signal, interleaved, from frame first on.
std::vector<float> signalBlock(std::int64_t first, int channels, int frames);

// A source for BASS_StreamCreate producing signalSample from frame 0 on.
struct SignalSource {
    explicit SignalSource(int channels) : channels(channels) {}
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user);
    int channels;
    std::int64_t nextFrame = 0;
};

// An initialized engine per test, and channels of the signal.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A decode stream: its DSPs run on the thread calling BASS_ChannelGetData.
    HSTREAM decodeStream(int channels);
    // A playing stream: its DSPs run on the engine's mixing thread.
    HSTREAM playingStream(int channels);
    // Pulls frames x channels samples through the channel's DSP chain.
    std::vector<float> pull(HSTREAM stream, int channels, int frames);

private:
    std::vector<std::unique_ptr<SignalSource>> sources_;
};

// A probe plug-in's library opened beside the library's own load (the
// system counts the loads), for its counters and controls.
class Probe {
public:
    explicit Probe(const std::string& name);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    const std::string& path() const { return path_; }
    bool loaded() const { return library_ != nullptr; }
    TalvenProbeStats stats() const;
    void reset() const;
    void failNext(int count) const;
    void hold(bool on) const;
    bool held() const;
    std::int64_t threadTag() const;

private:
    void* symbol(const char* name) const;

    std::string path_;
    LibraryHandle library_ = nullptr;
};

} // namespace talven::test
