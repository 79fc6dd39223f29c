// What running a plug-in in a process of its own costs: a block pulled
// through a decoding channel whose plug-in is isolated against the same
// block through the same plug-in in the program's process, alternately in
// every iteration, the trace off; and the attach (with its detach) of each
// kind.
//   inprocess_us  the block with the plug-in in the program's process
//   isolated_us   the block with the plug-in in talven-host
//   beyond_us     isolated_us - inprocess_us: the isolation's own cost
//   ratio         isolated_us / inprocess_us
// Medians per block; blocks back to back, or gap_us apart as playback
// spaces them.
#include "BenchSetup.h"

#include "talven.h"

#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

namespace talven::bench {
namespace {

DWORD CALLBACK tone(HSTREAM, void* buffer, DWORD length, void* user)
{
    static_cast<Signal*>(user)->next(static_cast<float*>(buffer),
                                     static_cast<int>(length / (kChannels * sizeof(float))));
    return length;
}

// A decoding channel of the signal with the plug-in attached, as a program
// attaches it.
struct PulledPlugin {
    PulledPlugin(const std::string& path, bool isolated) : signal(kChannels)
    {
        stream = BASS_StreamCreate(kRate, kChannels, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, tone, &signal);
        TALVEN_ATTACH attach{};
        attach.size = sizeof attach;
        attach.path = path.c_str();
        attach.flags = isolated ? TALVEN_ATTACH_ISOLATED : 0;
        handle = stream ? TALVEN_ChannelSetDSPWith(stream, &attach) : 0;
    }
    ~PulledPlugin()
    {
        if (handle)
            TALVEN_ChannelRemoveDSP(stream, handle);
        if (stream)
            BASS_StreamFree(stream);
    }
    void pull(std::vector<float>& block)
    {
        BASS_ChannelGetData(stream, block.data(), static_cast<DWORD>(block.size() * sizeof(float)) | BASS_DATA_FLOAT);
    }
    Signal signal;
    HSTREAM stream = 0;
    std::uint32_t handle = 0;
};

void BM_IsolatedBlock(benchmark::State& state)
{
    const std::string path = pluginPath(static_cast<int>(state.range(0)));
    const auto frames = static_cast<std::size_t>(state.range(1));
    // An isolated plug-in's blocks write no trace lines: neither do these.
    const bool traced = TALVEN_SetTrace(0) != 0;
    struct TraceBack {
        bool on;
        ~TraceBack() { TALVEN_SetTrace(on ? 1 : 0); }
    } traceBack{traced};
    PulledPlugin inProcess(path, false);
    PulledPlugin isolated(path, true);
    if (!inProcess.handle || !isolated.handle) {
        state.SkipWithError(("cannot attach " + path).c_str());
        return;
    }
    std::vector<float> block(frames * kChannels);
    for (int i = 0; i < 16; ++i) {
        inProcess.pull(block);
        isolated.pull(block);
    }
    const auto expected = static_cast<std::size_t>(state.max_iterations);
    Timings own(expected), apart(expected);
    // Blocks spaced as playback spaces them let the plug-in's process
    // sleep between them, and so pay its wake-up too.
    const auto gap = std::chrono::microseconds(state.range(2));
    for (auto _ : state) {
        if (gap.count() > 0)
            std::this_thread::sleep_for(gap);
        const auto t0 = Clock::now();
        inProcess.pull(block);
        const auto t1 = Clock::now();
        isolated.pull(block);
        const auto t2 = Clock::now();
        own.add(microseconds(t0, t1));
        apart.add(microseconds(t1, t2));
    }
    state.counters["inprocess_us"] = own.median();
    state.counters["isolated_us"] = apart.median();
    state.counters["beyond_us"] = apart.median() - own.median();
    state.counters["ratio"] = apart.median() / own.median();
    state.counters["crashed"] = TALVEN_GetStatus(isolated.handle) == TALVEN_STATUS_CRASHED ? 1 : 0;
}

void BM_AttachAndDetach(benchmark::State& state)
{
    const std::string path = pluginPath(static_cast<int>(state.range(0)));
    const bool isolated = state.range(1) != 0;
    for (auto _ : state) {
        PulledPlugin attached(path, isolated);
        if (!attached.handle) {
            state.SkipWithError(("cannot attach " + path).c_str());
            return;
        }
    }
}

} // namespace

BENCHMARK(BM_IsolatedBlock)->ArgNames({"plugin", "frames", "gap_us"})
    ->Args({kProbeStereo, 64, 0})->Args({kProbeStereo, 512, 0})->Args({kProbeStereo, 4096, 0})
    ->Args({kProbeStereo, 512, 5000})->Args({kZaMaximX2, 512, 0})->Args({kZaMaximX2, 512, 5000})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AttachAndDetach)->ArgNames({"plugin", "isolated"})
    ->Args({kProbeStereo, 0})->Args({kProbeStereo, 1})->Args({kZaMaximX2, 0})->Args({kZaMaximX2, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace talven::bench
