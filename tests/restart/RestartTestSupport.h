// Shared pieces of the restart, process-context and output-parameter tests:
// the RestartEffect plug-in's controls, an engine per test, a counting ramp
// that shows whether every frame came out as itself, dry or processed, and a
// channel of a level the test sets.
#pragma once

#include "RestartExports.h"
#include "bass.h"
#include "talven.h"

#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talven::test {

constexpr DWORD kRate = 48000;

// The package path of a test plug-in built by this tree.
std::string testPluginPath(const std::string& name);

// The RestartEffect plug-in's library, opened beside the library's own load
// (the system counts the loads), reset when opened and closed. In the
// isolated run its record is the one the plug-in in talven-host keeps
// (RestartState.h), and a request made at once is made there, by a thread of
// the plug-in's own.
class RestartPlugin {
public:
    RestartPlugin();
    ~RestartPlugin();
    RestartPlugin(const RestartPlugin&) = delete;
    RestartPlugin& operator=(const RestartPlugin&) = delete;

    static std::string path() { return testPluginPath("RestartEffect"); }
    bool loaded() const { return library_ != nullptr; }

    TalvenRestartStats stats() const;
    void reset() const;
    void setLatency(int samples) const;
    void setOutputChannels(int channels) const;
    void listLevel(bool listed) const;
    // TALVEN_RESTART_NOW answers the handler's result; the others 0.
    std::int32_t request(std::int32_t flags, std::int32_t where = TALVEN_RESTART_NOW) const;
    std::vector<TalvenRestartContext> contexts() const;
    // This thread's tag, as the stats record threads.
    std::int64_t threadTag() const;

private:
    template <typename Proc>
    Proc symbol(const char* name) const
    {
        return reinterpret_cast<Proc>(librarySymbol(library_, name));
    }

    LibraryHandle library_ = nullptr;
};

// The ramp's frame f (from 0) carries f + 1 on the left and -(f + 1) on the
// right: exact in float, never 0, and the same value halved or scaled is
// never another frame's.
float rampSample(std::int64_t frame, int channel);

// Looks at every block after the plug-in (a DSP of lower priority) and
// sorts each frame: dry, processed by one of the plug-in's factors on both
// channels, or processed on the left only (a mono output); anything else,
// or a frame that is not the next of the ramp, is a mismatch. Atomics: the
// engine's thread writes, tests read.
struct RampWatch {
    static void CALLBACK dsp(HDSP, DWORD, void* buffer, DWORD length, void* user);

    std::atomic<std::int64_t> calls{0};
    std::atomic<std::int64_t> frames{0};
    std::atomic<std::int64_t> dryFrames{0};
    std::atomic<std::int64_t> stereoFrames{0};
    std::atomic<std::int64_t> monoFrames{0};
    // Processed frames per factor: gain 0.25 (x 0.5) and gain 0.75 (x 1.5).
    std::atomic<std::int64_t> halvedFrames{0};
    std::atomic<std::int64_t> raisedFrames{0};
    // Processed frames x 0.5 after one x 1.5: a gain the plug-in lost.
    std::atomic<std::int64_t> halvedAfterRaised{0};
    std::atomic<std::int64_t> mismatches{0};
    std::atomic<std::int64_t> firstMismatch{-1};
    std::int64_t processedFrames() const { return stereoFrames + monoFrames; }
};

// An initialized engine per test and the channels a test needs; RestartEffect
// reset. Channels and attachments go with the engine at the end.
class RestartEngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A stereo ramp that plays (its DSPs run on the engine's mixing thread),
    // watched by watch after every other DSP.
    HSTREAM playingRamp();
    // A stereo decode channel whose every sample is the level the test set
    // last (its DSPs run on the thread that pulls).
    HSTREAM levelStream(DWORD rate = kRate);
    void setLevel(float value) { level_ = value; }
    // Pulls frames through the channel's DSPs on this thread.
    std::vector<float> pull(HSTREAM stream, int frames, int channels = 2);

    // Isolated in the isolated run (attachForTest).
    std::uint32_t attach(HSTREAM stream, const std::string& path = RestartPlugin::path());
    // Waits until the plug-in processed this many more frames.
    bool waitProcessed(std::int64_t frames = 4800);
    // Detaches the plug-in and takes the watch off, so that what both saw is
    // final, then checks that every frame came out as itself, dry or
    // processed, that the plug-in processed exactly the frames that came out
    // processed (none twice), and that it saw no host mistake.
    void finishAndCheckFrames();
    TALVEN_INFO info();

    RestartPlugin plugin;
    RampWatch watch;
    std::uint32_t handle = 0;
    HSTREAM stream = 0;

private:
    struct Ramp {
        static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user);
        std::int64_t next = 0; // the engine's thread only
    };
    static DWORD CALLBACK levelProc(HSTREAM, void* buffer, DWORD length, void* user);

    std::unique_ptr<Ramp> ramp_;
    HDSP watchDsp_ = 0;
    std::atomic<float> level_{0};
    bool engineUp_ = false; // a test skipped before SetUp starts none
};

// What a parameter callback heard, on any thread.
struct HeardReports {
    struct Report {
        std::uint32_t handle;
        std::uint32_t id;
        double value;
        std::thread::id thread;
    };
    static void TALVEN_CALL hear(uint32_t handle, uint32_t id, double value, void* user);
    std::vector<Report> copy() const;
    std::vector<Report> of(std::uint32_t id) const;

    mutable std::mutex lock;
    std::vector<Report> heard;
};

} // namespace talven::test
