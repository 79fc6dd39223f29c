// A stereo block's round trip to a plug-in's own process and back: handed
// over in shared memory, woken, doubled there, woken back. What isolating a
// plug-in adds to every block beyond the plug-in's own processing.
#include "isolation/BlockExchange.h"
#include "isolation/HostProcess.h"

#include <benchmark/benchmark.h>

#include <thread>

namespace talven::bench {
namespace {

void BM_IsolatedBlockRoundTrip(benchmark::State& state)
{
    const auto frames = static_cast<std::uint32_t>(state.range(0));
    auto exchange = BlockExchange::create(2, frames);
    std::uint64_t handles[BlockExchange::kMaxInherited];
    const int count = exchange ? exchange->inheritedHandles(handles) : 0;
    auto process = exchange ? HostProcess::start(TALVEN_BLOCK_ECHO_PATH, {exchange->token(), "double"},
                                                 std::vector<std::uint64_t>(handles, handles + count))
                            : nullptr;
    if (!process) {
        state.SkipWithError("the echo process did not start");
        return;
    }
    std::int64_t late = 0;
    for (auto _ : state) {
        if (exchange->process(frames, std::chrono::seconds(1)) != BlockExchange::Result::Answered)
            ++late;
        benchmark::DoNotOptimize(exchange->channel(0));
    }
    state.counters["late"] = static_cast<double>(late);
    exchange->close();
    process->waitForEnd();
}

} // namespace

BENCHMARK(BM_IsolatedBlockRoundTrip)->ArgName("frames")->Arg(64)->Arg(512)->Arg(4096)
    ->Unit(benchmark::kMicrosecond);

} // namespace talven::bench
