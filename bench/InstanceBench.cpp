// The library's cost per block as the number of instances grows: n
// ProbeStereo instances, each attached to a channel of its own, and n driven
// directly; every iteration runs one 512-frame stereo block through each,
// with the trace off, so that only the library's own work differs. The
// figures are per-block medians:
//   process_us   the probe's process call alone
//   library_us   the block through the library
//   overhead_us  library_us - process_us
#include "BenchSetup.h"
#include "DirectProcessor.h"

#include "talven.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace talven::bench {
namespace {

constexpr int kFrames = 512;

void BM_Instances(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::string path = pluginPath(kProbeStereo);
    std::vector<std::unique_ptr<support::DirectProcessor>> direct;
    std::vector<std::unique_ptr<AttachedPlugin>> attached;
    for (std::size_t i = 0; i < count; ++i) {
        direct.push_back(std::make_unique<support::DirectProcessor>(path, kRate));
        attached.push_back(std::make_unique<AttachedPlugin>(path));
        if (!direct.back()->ready() || !attached.back()->ready()) {
            state.SkipWithError("cannot load the probe");
            return;
        }
    }
    const int previous = TALVEN_SetTrace(0);
    Signal signal(kChannels);
    std::vector<float> dry(static_cast<std::size_t>(kFrames) * kChannels);
    std::vector<float> block(dry.size());
    const std::size_t expected = static_cast<std::size_t>(state.max_iterations) * count;
    Timings process(expected), library(expected);
    for (auto _ : state) {
        double iteration = 0;
        for (std::size_t i = 0; i < count; ++i) {
            signal.next(dry.data(), kFrames);
            direct[i]->load(dry.data(), kChannels, 0, kFrames);
            const auto t0 = Clock::now();
            direct[i]->process(kFrames);
            const auto t1 = Clock::now();
            block = dry;
            const auto t2 = Clock::now();
            attached[i]->block(block.data(), kFrames);
            const auto t3 = Clock::now();
            process.add(microseconds(t0, t1));
            library.add(microseconds(t2, t3));
            iteration += microseconds(t2, t3);
        }
        state.SetIterationTime(iteration * 1e-6);
    }
    TALVEN_SetTrace(previous);
    state.counters["process_us"] = process.median();
    state.counters["library_us"] = library.median();
    state.counters["overhead_us"] = library.median() - process.median();
}

BENCHMARK(BM_Instances)
    ->ArgName("instances")
    ->RangeMultiplier(4)
    ->Range(1, 128)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace talven::bench
