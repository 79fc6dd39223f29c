// Shared pieces of the bypass and parameter tests: an engine and the library
// per test, a stereo test channel, and the plug-ins' call logs.
#pragma once

#include "RecordedPlugin.h"
#include "bass.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace talven::test {

constexpr int kChannels = 2;

// Sample of channel c at frame j: left and right differ, so a channel
// mix-up shows, and every value times 0.5 or 1.5 is exact in float.
float drySample(std::int64_t frame, int channel);

// Endless dry signal for BASS_StreamCreate, counting frames from 0.
struct DrySource {
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user);
    std::int64_t nextFrame = 0;
};

// An initialized engine per test and stereo float channels of the dry
// signal; the trace file starts empty.
class AttachedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HSTREAM decodeStream();
    HSTREAM playingStream();
    // Attaches the test plug-in of that name (isolated in the isolated run);
    // 0 on failure.
    std::uint32_t attach(HSTREAM stream, const std::string& plugin);
    // One block of frames pulled through the channel's DSP chain, and the
    // dry samples the source gave for it.
    struct Block {
        std::vector<float> samples;
        std::vector<float> dry;
        bool scaledBy(float factor) const;
        bool isDry() const { return samples == dry; }
    };
    Block pull(HSTREAM stream, int frames = 512);

private:
    HSTREAM makeStream(DWORD flags);

    std::map<HSTREAM, std::unique_ptr<DrySource>> sources_;
};

// Calls with this prefix in a recorded plug-in's log, in order.
std::vector<std::string> callsStartingWith(const RecordedPlugin& plugin, const std::string& prefix);

} // namespace talven::test
