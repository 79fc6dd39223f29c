// The isolated block's cost beyond the same block in the program's process,
// where Google Benchmark is not at hand (the Windows build, run under Wine):
// a decoding channel of a tone through ProbeStereo, attached in the
// program's process and isolated, pulled alternately; median microseconds
// per block at 64, 512 and 4096 stereo frames, and the attach with its
// detach. Run by hand: talven_isolation_timing [BLOCKS [GAP_US]]; with a
// gap, each pair of blocks waits that long first, as playback spaces them.
#include "bass.h"
#include "talven.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

DWORD CALLBACK tone(HSTREAM, void* buffer, DWORD length, void*)
{
    auto* samples = static_cast<float*>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i)
        samples[i] = 0.25f * std::sin(static_cast<float>(i) * 0.01f);
    return length;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double microsecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

std::uint32_t attach(HSTREAM stream, const std::string& path, bool isolated)
{
    TALVEN_ATTACH options{};
    options.size = sizeof options;
    options.path = path.c_str();
    options.flags = isolated ? TALVEN_ATTACH_ISOLATED : 0;
    return TALVEN_ChannelSetDSPWith(stream, &options);
}

} // namespace

int main(int argc, char** argv)
{
    const int blocks = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const auto gap = std::chrono::microseconds(argc > 2 ? std::max(0, std::atoi(argv[2])) : 0);
    const std::string path = std::string(TALVEN_TEST_PLUGIN_DIR) + "/ProbeStereo.vst3";
    TALVEN_SetTrace(0);
    if (!BASS_Init(0, 48000, 0, nullptr, nullptr))
        return 1;
    const DWORD flags = BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE;
    const HSTREAM own = BASS_StreamCreate(48000, 2, flags, tone, nullptr);
    const HSTREAM apart = BASS_StreamCreate(48000, 2, flags, tone, nullptr);
    const std::uint32_t inProcess = attach(own, path, false);
    const std::uint32_t isolated = attach(apart, path, true);
    if (!inProcess || !isolated) {
        std::fprintf(stderr, "cannot attach %s\n", path.c_str());
        return 1;
    }
    std::printf("frames  in-process us  isolated us  beyond us  (medians of %d blocks, %lld us apart)\n", blocks,
                static_cast<long long>(gap.count()));
    for (const int frames : {64, 512, 4096}) {
        std::vector<float> block(static_cast<std::size_t>(frames) * 2);
        const DWORD bytes = static_cast<DWORD>(block.size() * sizeof(float)) | BASS_DATA_FLOAT;
        std::vector<double> ownTimes, apartTimes;
        for (int i = 0; i < blocks + 16; ++i) {
            if (gap.count() > 0)
                std::this_thread::sleep_for(gap);
            auto start = Clock::now();
            BASS_ChannelGetData(own, block.data(), bytes);
            const double ownTime = microsecondsSince(start);
            start = Clock::now();
            BASS_ChannelGetData(apart, block.data(), bytes);
            const double apartTime = microsecondsSince(start);
            if (i >= 16) {
                ownTimes.push_back(ownTime);
                apartTimes.push_back(apartTime);
            }
        }
        std::printf("%6d  %13.1f  %11.1f  %9.1f\n", frames, median(ownTimes), median(apartTimes),
                    median(apartTimes) - median(ownTimes));
    }
    std::printf("status after the blocks: %s\n",
                TALVEN_GetStatus(isolated) == TALVEN_STATUS_RUNNING ? "running" : "crashed");
    TALVEN_ChannelRemoveDSP(own, inProcess);
    TALVEN_ChannelRemoveDSP(apart, isolated);
    for (const bool isolate : {false, true}) {
        std::vector<double> times;
        for (int i = 0; i < 20; ++i) {
            const auto start = Clock::now();
            const std::uint32_t handle = attach(own, path, isolate);
            TALVEN_ChannelRemoveDSP(own, handle);
            times.push_back(microsecondsSince(start) / 1000.0);
        }
        std::printf("attach and detach, %s: %.1f ms\n", isolate ? "isolated" : "in process", median(times));
    }
    BASS_Free();
    return 0;
}
