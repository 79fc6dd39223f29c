// The block path's two trace lines ("processAudio: start>>>" and
// "processAudio: end<<<", each opening, appending to and closing the trace
// file) on the scratch directory the benchmark runs in (tmpfs when run by
// scripts/bench) and on a directory of the disk (TALVEN_BENCH_DISK_DIR).
// trace_us is the per-block median of the pair, trace_p99_us its 99th
// percentile.
#include "BenchSetup.h"

#include "log/TraceLog.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <climits>
#include <cstdio>

namespace talven::bench {
namespace {

enum Where { kHere = 0, kDisk = 1 };

void BM_TraceLines(benchmark::State& state)
{
    char here[PATH_MAX];
    if (!::getcwd(here, sizeof here)) {
        state.SkipWithError("no current directory");
        return;
    }
    const std::string directory = state.range(0) == kDisk ? diskDirectory() : std::string(here);
    if (directory.empty() || ::chdir(directory.c_str()) != 0) {
        state.SkipWithError("no disk directory: set TALVEN_BENCH_DISK_DIR");
        return;
    }
    std::remove(kTraceFileName);
    Timings pair(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto t0 = Clock::now();
        writeTraceLine("processAudio: start>>>");
        writeTraceLine("processAudio: end<<<");
        const auto t1 = Clock::now();
        pair.add(microseconds(t0, t1));
    }
    std::remove(kTraceFileName);
    if (::chdir(here) != 0)
        state.SkipWithError("cannot return to the scratch directory");
    state.counters["trace_us"] = pair.median();
    state.counters["trace_p99_us"] = pair.quantile(0.99);
    state.SetLabel(fileSystemOf(directory) + " " + directory);
}

BENCHMARK(BM_TraceLines)->ArgName("disk")->Arg(kHere)->Arg(kDisk)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace talven::bench
