// What the JUCE plug-in's tests share: the worker tests run in a child
// process whose standard error is kept, so that the parent can count JUCE's
// assertions (JUCE prints them there, from any thread, up to the module's
// unload); an engine with a stereo source whose samples the test knows; and
// the plug-in's parameters found by title.
#pragma once

#include "bass.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace talven::test {

// Set in the child process that runs the worker tests.
bool inJuceChild();

struct ChildRun {
    bool exitedCleanly = false; // ran to its end and returned 0
    std::string errorOutput;    // everything it wrote to standard error
};

// Runs this test program again with the gtest filter given, as the child
// (standard output shared, standard error kept), and waits for it.
ChildRun runJuceChild(const std::string& filter);

// How many lines of text carry JUCE's assertion message.
int countJuceAssertions(const std::string& text);

// The sample the source gives at frame (both channels alike): a 440 Hz sine
// of amplitude 0.5, or, with an impulse position set, silence with 1 there.
struct SourceSignal {
    std::atomic<long long> impulseAt{-1};
    std::atomic<long long> produced{0};
    float sample(long long frame) const;
};

class JucePluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The parameter's id, by its title; fails the test when there is none.
    std::uint32_t param(const char* title);
    // Reads frames stereo frames of the processed channel.
    std::vector<float> read(int frames);
    // Frames read so far (the next one read is this frame of the source).
    long long position() const { return position_; }
    TALVEN_INFO info();
    // Sets the gain, stores a preset, moves the gain and recalls the preset,
    // reading audio between: the gain comes back as stored.
    void storeAndRecallAGain();

    SourceSignal signal;
    HSTREAM stream = 0;
    std::uint32_t handle = 0;

private:
    long long position_ = 0;
};

} // namespace talven::test
