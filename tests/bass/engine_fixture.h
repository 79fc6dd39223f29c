// Shared set-up for the engine tests: an initialized engine per test, and
// helpers for waiting on conditions and for simple sources.
#pragma once

#include "bass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace basstest {

// Polls until `condition` holds or a generous bound passes.
inline bool waitUntil(const std::function<bool()> &condition,
                      std::chrono::seconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A STREAMPROC delivering silence forever.
inline DWORD CALLBACK silence(HSTREAM, void *buffer, DWORD length, void *) {
    std::fill_n(static_cast<char *>(buffer), length, char(0));
    return length;
}

// Blocks one callback until the test lets it go.
class Gate {
public:
    void enterAndWait() {
        entered_ = true;
        waitUntil([this] { return open_.load(); });
    }
    bool waitEntered() { return waitUntil([this] { return entered_.load(); }); }
    void open() { open_ = true; }

private:
    std::atomic<bool> entered_{false};
    std::atomic<bool> open_{false};
};

// Frees its stream on scope exit. Declare it after whatever the stream's
// callbacks use: the free waits for a block in progress, so that data then
// outlives every callback.
class ScopedStream {
public:
    explicit ScopedStream(HSTREAM handle) : handle_(handle) {}
    ScopedStream(const ScopedStream &) = delete;
    ScopedStream &operator=(const ScopedStream &) = delete;
    ~ScopedStream() {
        if (handle_)
            BASS_StreamFree(handle_);
    }
    operator HSTREAM() const { return handle_; }

private:
    HSTREAM handle_;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr)); }
    void TearDown() override {
        BASSTEST_FailNextCall(nullptr, 0);
        BASS_SetConfig(BASS_CONFIG_FLOATDSP, FALSE); // a process-wide option
        EXPECT_TRUE(BASS_Free());
    }

    HSTREAM decodeStream(DWORD chans = 2, STREAMPROC *proc = silence, void *user = nullptr) {
        return BASS_StreamCreate(48000, chans, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, proc, user);
    }
    HSTREAM playStream(DWORD chans = 2, STREAMPROC *proc = silence, void *user = nullptr) {
        return BASS_StreamCreate(48000, chans, BASS_SAMPLE_FLOAT, proc, user);
    }
};

} // namespace basstest
