// One block of stereo float, four ways in every iteration, on the same
// signal: the plug-in's own process driven directly; the block through the
// library with the trace on (as a program runs by default) and, on a second
// instance, with it off; and the block path's two trace lines alone. The
// figures are per-block medians, robust against the preemptions of a busy
// machine:
//   process_us          the plug-in's process call alone
//   library_us          the block through the library, trace lines included
//   library_notrace_us  the same with TALVEN_SetTrace(0)
//   trace_us            the two trace lines ("start>>>", "end<<<") alone
//   overhead_us         the library's cost beyond process and beyond the
//                       trace: library_notrace_us - process_us
//   beyond_us           cross-check: library_us - trace_us - process_us
//   ratio               library_us / process_us
//   allocs_per_block    heap allocations of a block through the library
#include "AllocationCounter.h"
#include "BenchSetup.h"
#include "DirectProcessor.h"

#include "log/TraceLog.h"
#include "talven.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace talven::bench {
namespace {

void BM_Block(benchmark::State& state)
{
    const int plugin = static_cast<int>(state.range(0));
    const int frames = static_cast<int>(state.range(1));
    const std::string path = pluginPath(plugin);
    std::remove(kTraceFileName);
    support::DirectProcessor direct(path, kRate);
    AttachedPlugin traced(path);
    AttachedPlugin untraced(path);
    if (!direct.ready() || !traced.ready() || !untraced.ready()) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    Signal signal(kChannels);
    const std::size_t samples = static_cast<std::size_t>(frames) * kChannels;
    std::vector<float> dry(samples);
    std::vector<float> block(samples);
    // The first blocks of a plug-in may set things up.
    for (int i = 0; i < 16; ++i) {
        signal.next(dry.data(), frames);
        direct.load(dry.data(), kChannels, 0, frames);
        direct.process(frames);
        traced.block(block.data(), frames);
        untraced.block(block.data(), frames);
    }

    const auto expected = static_cast<std::size_t>(state.max_iterations);
    Timings process(expected), library(expected), libraryNoTrace(expected), trace(expected);
    for (auto _ : state) {
        signal.next(dry.data(), frames);
        direct.load(dry.data(), kChannels, 0, frames);
        const auto t0 = Clock::now();
        direct.process(frames);
        const auto t1 = Clock::now();

        block = dry;
        const auto t2 = Clock::now();
        traced.block(block.data(), frames);
        const auto t3 = Clock::now();

        TALVEN_SetTrace(0);
        block = dry;
        const auto t4 = Clock::now();
        untraced.block(block.data(), frames);
        const auto t5 = Clock::now();
        TALVEN_SetTrace(1);

        const auto t6 = Clock::now();
        writeTraceLine("processAudio: start>>>");
        writeTraceLine("processAudio: end<<<");
        const auto t7 = Clock::now();

        state.SetIterationTime(microseconds(t2, t3) * 1e-6);
        process.add(microseconds(t0, t1));
        library.add(microseconds(t2, t3));
        libraryNoTrace.add(microseconds(t4, t5));
        trace.add(microseconds(t6, t7));
    }

    constexpr int kCounted = 64;
    const long long allocations = support::allocationsOf([&] {
        for (int i = 0; i < kCounted; ++i) {
            block = dry;
            traced.block(block.data(), frames);
        }
    });
    std::remove(kTraceFileName);

    state.counters["process_us"] = process.median();
    state.counters["library_us"] = library.median();
    state.counters["library_notrace_us"] = libraryNoTrace.median();
    state.counters["trace_us"] = trace.median();
    state.counters["overhead_us"] = libraryNoTrace.median() - process.median();
    state.counters["beyond_us"] = library.median() - trace.median() - process.median();
    state.counters["ratio"] = library.median() / process.median();
    state.counters["allocs_per_block"] = static_cast<double>(allocations) / kCounted;
    state.SetLabel(pluginName(plugin) + (direct.wide() ? " 64-bit" : ""));
}

BENCHMARK(BM_Block)
    ->ArgNames({"plugin", "frames"})
    ->ArgsProduct({{kProbeStereo, kZamCompX2, kZaMaximX2}, {64, 512, 4096}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace talven::bench
