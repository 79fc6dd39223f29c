// The fixture of the tests that compare the library's output with the
// plug-in's own.
#pragma once

#include "AudioTestSupport.h"
#include "Comparison.h"
#include "DirectProcessor.h"
#include "IsolatedRun.h"

#include "talven.h"

#include <string>
#include <vector>

namespace talven::test {

// A parameter set to a normalized value.
struct ParameterChange {
    std::uint32_t id;
    float value;
};

class BridgeTest : public EngineTest {
protected:
    // Isolated in the suite's isolated run.
    static std::uint32_t attach(HSTREAM stream, const std::string& path)
    {
        return attachForTest(stream, path.c_str(), 0, 0, 0, nullptr, "Talven test");
    }

    // Attaches the plug-in at path to a decode channel of the given width,
    // pulls blocks of the given lengths through it and compares each, sample
    // for sample, with what a second instance driven directly makes of the
    // same blocks. Returns how many blocks the plug-in changed. A parameter
    // change, when given, reaches both before the first block.
    int expectReferenceOutput(const std::string& path, int channels, const std::vector<int>& blocks,
                              const std::vector<ParameterChange>& changes = {})
    {
        const HSTREAM stream = decodeStream(channels);
        const std::uint32_t handle = attach(stream, path);
        EXPECT_NE(handle, 0u) << path;
        support::DirectProcessor reference(path, kRate);
        EXPECT_TRUE(reference.ready()) << path;
        for (const ParameterChange& change : changes) {
            EXPECT_EQ(TALVEN_SetParam(handle, change.id, change.value), 0) << path << " parameter " << change.id;
            reference.setParameter(change.id, change.value);
        }
        std::int64_t position = 0;
        int changed = 0;
        for (int frames : blocks) {
            const std::vector<float> dry = signalBlock(position, channels, frames);
            const std::vector<float> got = pull(stream, channels, frames);
            EXPECT_TRUE(sameSamples(got, reference.process(dry, channels), channels))
                << path << " on " << channels << " channels, block of " << frames << " at frame " << position;
            changed += got != dry ? 1 : 0;
            position += frames;
        }
        return changed;
    }
};

} // namespace talven::test
