// What a side-chain adds to a 512-frame stereo block beyond the plug-in's
// own processing: the side-chain channel's DSP writing its block into the
// ring, and the plug-in's block reading it onto its auxiliary bus.
#include "instance/SidechainFeed.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace talven::bench {
namespace {

void BM_SidechainCopy(benchmark::State& state)
{
    constexpr int kFrames = 512;
    SidechainFeed feed(0, 2, 4096);
    std::vector<float> block(2 * kFrames, 0.25f);
    std::vector<float> left(kFrames), right(kFrames);
    void* buffers[] = {left.data(), right.data()};
    for (auto _ : state) {
        feed.push(block.data(), static_cast<std::uint32_t>(block.size() * sizeof(float)));
        feed.fill(buffers, 2, kFrames, false);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
    }
}

} // namespace

BENCHMARK(BM_SidechainCopy)->Unit(benchmark::kMicrosecond);

} // namespace talven::bench
