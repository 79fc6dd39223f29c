// talven-wav: the demo's signal generator and meter.
//   talven-wav tone PATH SECONDS   writes a stereo 44.1 kHz 16-bit WAV test signal
//   talven-wav stats PATH...       prints peak and RMS per channel, in dBFS
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

double decibels(double amplitude)
{
    return amplitude > 0 ? 20.0 * std::log10(amplitude) : -INFINITY;
}

// Left 220 Hz, right 330 Hz, switching every half second between loud
// (-1 dBFS, right -7 dBFS) and quiet (-20 dBFS), so that dynamics
// processors have something to act on and the channels differ.
int writeTone(const char* path, double seconds)
{
    if (!(seconds > 0 && seconds <= 3600)) {
        std::fprintf(stderr, "talven-wav: SECONDS must be between 0 and 3600\n");
        return 2;
    }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "talven-wav: cannot write %s: %s\n", path, sf_strerror(nullptr));
        return 1;
    }
    const auto frames = static_cast<long>(seconds * kRate);
    std::vector<float> samples(static_cast<size_t>(frames) * 2);
    for (long i = 0; i < frames; ++i) {
        const bool loud = (i / (kRate / 2)) % 2 == 0;
        const double t = static_cast<double>(i) / kRate;
        samples[static_cast<size_t>(i) * 2] = static_cast<float>((loud ? 0.89 : 0.1) * std::sin(2 * kPi * 220 * t));
        samples[static_cast<size_t>(i) * 2 + 1] = static_cast<float>((loud ? 0.45 : 0.1) * std::sin(2 * kPi * 330 * t));
    }
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    sf_close(file);
    if (!written) {
        std::fprintf(stderr, "talven-wav: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

int printStats(const char* path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (!file) {
        std::fprintf(stderr, "talven-wav: cannot read %s: %s\n", path, sf_strerror(nullptr));
        return 1;
    }
    const auto channels = static_cast<size_t>(info.channels);
    std::vector<double> peak(channels, 0.0);
    std::vector<double> sumOfSquares(channels, 0.0);
    std::vector<float> block(4096 * channels);
    sf_count_t total = 0;
    for (sf_count_t got; (got = sf_readf_float(file, block.data(), 4096)) > 0; total += got) {
        for (sf_count_t i = 0; i < got; ++i) {
            for (size_t c = 0; c < channels; ++c) {
                const double sample = block[static_cast<size_t>(i) * channels + c];
                peak[c] = std::fmax(peak[c], std::fabs(sample));
                sumOfSquares[c] += sample * sample;
            }
        }
    }
    sf_close(file);
    std::printf("%s: %d Hz, %d channel(s), %.2f s\n", path, info.samplerate, info.channels,
                static_cast<double>(total) / info.samplerate);
    for (size_t c = 0; c < channels; ++c) {
        const double rms = total > 0 ? std::sqrt(sumOfSquares[c] / static_cast<double>(total)) : 0.0;
        std::printf("  channel %zu: peak %7.2f dBFS  RMS %7.2f dBFS\n", c + 1, decibels(peak[c]), decibels(rms));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "tone" && argc == 4)
        return writeTone(argv[2], std::strtod(argv[3], nullptr));
    if (command == "stats" && argc >= 3) {
        int status = 0;
        for (int i = 2; i < argc; ++i)
            status |= printStats(argv[i]);
        return status;
    }
    std::fprintf(stderr, "usage: talven-wav tone PATH SECONDS | talven-wav stats PATH...\n");
    return 2;
}
