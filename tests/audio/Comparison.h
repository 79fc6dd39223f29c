// Sample-exact comparison of blocks, reporting the first difference.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

namespace talven::test {

inline ::testing::AssertionResult sameSamples(const std::vector<float>& actual, const std::vector<float>& expected,
                                              int channels)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size();
    for (size_t i = 0; i < actual.size(); ++i) {
        if (std::memcmp(&actual[i], &expected[i], sizeof(float)) != 0) {
            std::ostringstream where;
            where << "frame " << i / static_cast<size_t>(channels) << ", channel "
                  << i % static_cast<size_t>(channels) << ": " << actual[i] << " instead of " << expected[i];
            return ::testing::AssertionFailure() << where.str();
        }
    }
    return ::testing::AssertionSuccess();
}

// The samples of one channel of an interleaved block.
inline std::vector<float> channelOf(const std::vector<float>& block, int channels, int channel)
{
    std::vector<float> samples;
    for (size_t i = static_cast<size_t>(channel); i < block.size(); i += static_cast<size_t>(channels))
        samples.push_back(block[i]);
    return samples;
}

} // namespace talven::test
