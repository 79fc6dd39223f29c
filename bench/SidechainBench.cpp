// What a side-chain adds to a 512-frame block beyond the plug-in's own
// processing: the side-chain channel's DSP writing its block into the ring,
// and the plug-in's block reading it onto its auxiliary bus. A stereo
// side-chain onto a stereo bus and onto a mono one (mixed down, as for
// ZamCompX2), and a mono one onto a mono bus.
#include "instance/SidechainFeed.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace talven::bench {
namespace {

void BM_SidechainCopy(benchmark::State& state)
{
    constexpr int kFrames = 512;
    const auto channels = static_cast<std::int32_t>(state.range(0));
    const auto busChannels = static_cast<std::int32_t>(state.range(1));
    SidechainFeed feed(0, channels, 4096);
    std::vector<float> block(static_cast<std::size_t>(channels) * kFrames, 0.25f);
    std::vector<std::vector<float>> bus(static_cast<std::size_t>(busChannels), std::vector<float>(kFrames));
    std::vector<void*> buffers;
    for (auto& channel : bus)
        buffers.push_back(channel.data());
    for (auto _ : state) {
        feed.push(block.data(), static_cast<std::uint32_t>(block.size() * sizeof(float)));
        feed.fill(buffers.data(), busChannels, kFrames, false);
        for (auto& channel : bus)
            benchmark::DoNotOptimize(channel.data());
    }
}

} // namespace

BENCHMARK(BM_SidechainCopy)->ArgNames({"channels", "bus"})->Args({2, 2})->Args({2, 1})->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace talven::bench
