// Test signals and what the checks measure in the output: a reproducible
// signal a BASS stream plays, block lengths, finiteness and levels.
#pragma once

#include "bass.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace talven::validate {

class Random;

// Sample (frame, channel) of the signal of seed: a tone of its own per
// channel under noise whose level changes every few thousand frames, within
// -0.6 to 0.6. The same arguments give the same sample.
float signalSample(std::uint64_t seed, std::uint64_t frame, std::uint32_t channel);

// frames interleaved frames of the signal from firstFrame on.
void fillSignal(std::uint64_t seed, std::uint64_t firstFrame, std::size_t frames, std::uint32_t channels,
                float* out);

// The user data of a stream that plays the signal of seed (or silence while
// silent is set) without end. Read by whichever thread renders the stream,
// one at a time, as BASS renders a channel on one thread at a time.
struct SignalSource {
    SignalSource(std::uint64_t seed, std::uint32_t channels) : seed(seed), channels(channels) {}

    const std::uint64_t seed;
    const std::uint32_t channels;
    std::uint64_t frame = 0;          // next frame to deliver; the rendering thread's
    std::atomic<bool> silent{false};  // set from any thread

    // The STREAMPROC: user is the SignalSource.
    static DWORD CALLBACK streamProc(HSTREAM handle, void* buffer, DWORD length, void* user);
};

// A random block length from 1 to maxFrames, a prime about half of the time.
std::uint32_t randomBlockLength(Random& random, std::uint32_t maxFrames);

// Lengths every block sweep starts with: the edges around the library's
// 4096-frame pieces, tiny blocks and primes.
extern const std::uint32_t kEdgeBlockLengths[];
extern const std::size_t kEdgeBlockLengthCount;

// The index of the first sample that is NaN or infinite, or count when all
// are finite.
std::size_t firstNonFinite(const float* samples, std::size_t count);

// The largest magnitude among the samples.
double peakOf(const float* samples, std::size_t count);

// A peak as dBFS (-inf for 0).
double toDbfs(double peak);

} // namespace talven::validate
