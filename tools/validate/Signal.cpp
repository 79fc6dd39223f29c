#include "Signal.h"

#include "Random.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace talven::validate {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint64_t kLevelStretch = 3001; // frames, prime so stretches do not align with blocks

bool isPrime(std::uint32_t n)
{
    if (n < 2)
        return false;
    for (std::uint32_t d = 2; d * d <= n; ++d) {
        if (n % d == 0)
            return false;
    }
    return true;
}

// The largest prime not above n (n >= 2).
std::uint32_t primeAtMost(std::uint32_t n)
{
    while (n > 2 && !isPrime(n))
        --n;
    return n;
}

} // namespace

const std::uint32_t kEdgeBlockLengths[] = {1, 2, 3, 4095, 4096, 4097, 8192, 8193, 10000, 7, 509, 9973};
const std::size_t kEdgeBlockLengthCount = sizeof(kEdgeBlockLengths) / sizeof(kEdgeBlockLengths[0]);

float signalSample(std::uint64_t seed, std::uint64_t frame, std::uint32_t channel)
{
    static const double kLevels[] = {1.0, 0.1, 0.003, 0.5};
    const std::uint64_t stretch = frame / kLevelStretch;
    const double level = kLevels[mix64(seed ^ (stretch * 31 + channel)) % 4];
    const double noise =
        static_cast<double>(mix64(seed + frame * 64 + channel) >> 11) * 0x1.0p-52 - 1.0; // -1 to 1
    const double tone = std::sin(2 * kPi * (110.0 * (channel + 1)) * static_cast<double>(frame) / 44100.0);
    return static_cast<float>(0.3 * tone + 0.3 * level * noise);
}

void fillSignal(std::uint64_t seed, std::uint64_t firstFrame, std::size_t frames, std::uint32_t channels, float* out)
{
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::uint32_t c = 0; c < channels; ++c)
            *out++ = signalSample(seed, firstFrame + f, c);
    }
}

DWORD CALLBACK SignalSource::streamProc(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto& source = *static_cast<SignalSource*>(user);
    const std::size_t frames = length / (sizeof(float) * source.channels);
    auto* out = static_cast<float*>(buffer);
    if (source.silent)
        std::fill_n(out, frames * source.channels, 0.0f);
    else
        fillSignal(source.seed, source.frame, frames, source.channels, out);
    source.frame += frames;
    return static_cast<DWORD>(frames * source.channels * sizeof(float));
}

std::uint32_t randomBlockLength(Random& random, std::uint32_t maxFrames)
{
    const auto length = static_cast<std::uint32_t>(random.between(1, maxFrames));
    return random.chance(0.5) && length >= 2 ? primeAtMost(length) : length;
}

std::size_t firstNonFinite(const float* samples, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i]))
            return i;
    }
    return count;
}

double peakOf(const float* samples, std::size_t count)
{
    double peak = 0;
    for (std::size_t i = 0; i < count; ++i)
        peak = std::max(peak, static_cast<double>(std::fabs(samples[i])));
    return peak;
}

double toDbfs(double peak)
{
    return peak > 0 ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
}

} // namespace talven::validate
