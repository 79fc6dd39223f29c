// A channel's sample format and the conversions between it and float, the
// way BASS lays samples out: 8-bit unsigned (128 is silence), 16-bit signed,
// 32-bit float (nominally -1..+1, not clipped).
#pragma once

#include "bass.h"

#include <cstddef>

namespace talvenbass {

enum class SampleFormat { Unsigned8, Signed16, Float32 };

// The format BASS_SAMPLE_8BITS / BASS_SAMPLE_FLOAT in `flags` ask for; 16-bit
// when neither is given.
SampleFormat formatFromFlags(DWORD flags);

DWORD bytesPerSample(SampleFormat format);

// `samples` samples of `format` at `in` to float at `out`; the buffers must
// not overlap.
void toFloat(SampleFormat format, const void *in, float *out, std::size_t samples);

// `samples` floats at `in` to `format` at `out`, rounded to the nearest step
// and clipped to the format's range (NaN becomes silence). The buffers must
// not overlap.
void fromFloat(SampleFormat format, const float *in, void *out, std::size_t samples);

} // namespace talvenbass
