#include "samples.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace talvenbass {
namespace {

// Scales, rounds and clips one float to the integer range lo..hi.
long quantize(float value, float scale, long lo, long hi) {
    if (std::isnan(value))
        return 0;
    const float scaled = value * scale;
    if (scaled <= static_cast<float>(lo))
        return lo;
    if (scaled >= static_cast<float>(hi))
        return hi;
    return std::lround(scaled);
}

} // namespace

SampleFormat formatFromFlags(DWORD flags) {
    if (flags & BASS_SAMPLE_FLOAT)
        return SampleFormat::Float32;
    if (flags & BASS_SAMPLE_8BITS)
        return SampleFormat::Unsigned8;
    return SampleFormat::Signed16;
}

DWORD bytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::Unsigned8: return 1;
    case SampleFormat::Signed16: return 2;
    case SampleFormat::Float32: return 4;
    }
    return 4;
}

void toFloat(SampleFormat format, const void *in, float *out, std::size_t samples) {
    switch (format) {
    case SampleFormat::Unsigned8: {
        const auto *bytes = static_cast<const std::uint8_t *>(in);
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = (static_cast<int>(bytes[i]) - 128) / 128.0f;
        break;
    }
    case SampleFormat::Signed16: {
        const auto *words = static_cast<const std::int16_t *>(in);
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = words[i] / 32768.0f;
        break;
    }
    case SampleFormat::Float32:
        std::memcpy(out, in, samples * sizeof(float));
        break;
    }
}

void fromFloat(SampleFormat format, const float *in, void *out, std::size_t samples) {
    switch (format) {
    case SampleFormat::Unsigned8: {
        auto *bytes = static_cast<std::uint8_t *>(out);
        for (std::size_t i = 0; i < samples; ++i)
            bytes[i] = static_cast<std::uint8_t>(quantize(in[i], 128.0f, -128, 127) + 128);
        break;
    }
    case SampleFormat::Signed16: {
        auto *words = static_cast<std::int16_t *>(out);
        for (std::size_t i = 0; i < samples; ++i)
            words[i] = static_cast<std::int16_t>(quantize(in[i], 32768.0f, -32768, 32767));
        break;
    }
    case SampleFormat::Float32:
        std::memcpy(out, in, samples * sizeof(float));
        break;
    }
}

} // namespace talvenbass
