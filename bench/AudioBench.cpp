// What a block costs with the library in the path. For each case the same
// blocks go through the engine's BASS_ChannelGetData with the plug-in
// attached, through a channel without it, and through the plug-in's own
// process driven directly; the counters give those costs, their ratio, the
// heap allocations per block and the trace lines' share.
#include "DirectProcessor.h"

#include "bass.h"
#include "log/TraceLog.h"
#include "registry/Registry.h"
#include "talven.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<bool> countAllocations{false};
std::atomic<long long> allocations{0};

void* allocate(std::size_t size)
{
    if (countAllocations.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

using Clock = std::chrono::steady_clock;

// One second of a tone per channel, played in a loop.
struct Source {
    explicit Source(int channels) : channels(channels), signal(48000 * static_cast<size_t>(channels))
    {
        for (size_t i = 0; i < signal.size(); ++i)
            signal[i] = static_cast<float>(0.4 * std::sin(0.01 * static_cast<double>(i / channels) + i % channels));
    }
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* source = static_cast<Source*>(user);
        auto* out = static_cast<char*>(buffer);
        const auto* in = reinterpret_cast<const char*>(source->signal.data());
        const size_t total = source->signal.size() * sizeof(float);
        for (DWORD done = 0; done < length;) {
            const size_t piece = std::min<size_t>(length - done, total - source->position);
            std::memcpy(out + done, in + source->position, piece);
            done += static_cast<DWORD>(piece);
            source->position = (source->position + piece) % total;
        }
        return length;
    }
    int channels;
    std::vector<float> signal;
    size_t position = 0;
};

// A decode channel of the given width with its source.
struct Channel {
    explicit Channel(int channels)
        : source(channels),
          stream(BASS_StreamCreate(48000, static_cast<DWORD>(channels), BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE,
                                   Source::proc, &source))
    {
    }
    ~Channel() { BASS_StreamFree(stream); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    void pull(std::vector<float>& block) const
    {
        BASS_ChannelGetData(stream, block.data(), static_cast<DWORD>(block.size() * sizeof(float)));
    }

    Source source;
    HSTREAM stream;
};

// Plug-in 0 is the probe gain (cheap), 1 a zam-plugins effect.
std::string pluginPath(int plugin, int channels)
{
    if (plugin == 0)
        return std::string(TALVEN_TEST_PLUGIN_DIR) + (channels == 1 ? "/ProbeMono.vst3" : "/ProbeStereo.vst3");
    return channels == 1 ? "/usr/lib/vst3/ZamTube.vst3" : "/usr/lib/vst3/ZaMaximX2.vst3";
}

double seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

void freshTraceFile()
{
    std::remove(talven::kTraceFileName);
}

template <typename Body>
long long allocationsOf(Body&& body)
{
    allocations = 0;
    countAllocations = true;
    body();
    countAllocations = false;
    return allocations.load();
}

void BM_Block(benchmark::State& state)
{
    const int plugin = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const int frames = static_cast<int>(state.range(2));
    const std::string path = pluginPath(plugin, channels);
    freshTraceFile();
    // The engine's cost for a channel with one DSP, without the library.
    Channel bare(channels);
    BASS_ChannelSetDSP(bare.stream, [](HDSP, DWORD, void*, DWORD, void*) {}, nullptr, 0);
    Channel attached(channels);
    const std::uint32_t handle =
        TALVEN_ChannelSetDSP(attached.stream, path.c_str(), 0, 0, 0, 0, 0, nullptr, "bench");
    talven::bench::DirectProcessor direct(path);
    if (!handle || !direct.ready()) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    std::vector<float> block(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    attached.pull(block); // buffers grow once

    double engineTime = 0;
    double bareTime = 0;
    double directTime = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        attached.pull(block);
        const auto pulled = Clock::now();
        bare.pull(block);
        const auto pulledBare = Clock::now();
        direct.process(frames);
        const auto processed = Clock::now();
        state.SetIterationTime(seconds(start, pulled));
        engineTime += seconds(start, pulled);
        bareTime += seconds(pulled, pulledBare);
        directTime += seconds(pulledBare, processed);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["direct_us"] = benchmark::Counter(directTime * 1e6 / iterations);
    state.counters["ratio"] = benchmark::Counter(engineTime / directTime);
    // What the library adds: the block through the engine with the plug-in,
    // less the engine's own cost and the plug-in's.
    state.counters["library_us"] = benchmark::Counter((engineTime - bareTime - directTime) * 1e6 / iterations);

    constexpr int kCounted = 64;
    const long long withPlugin = allocationsOf([&] {
        for (int i = 0; i < kCounted; ++i)
            attached.pull(block);
    });
    const long long without = allocationsOf([&] {
        for (int i = 0; i < kCounted; ++i)
            bare.pull(block);
    });
    state.counters["allocs_per_block"] = benchmark::Counter(static_cast<double>(withPlugin - without) / kCounted);
    state.SetLabel(std::string(plugin == 0 ? "probe" : "zam") + (channels == 1 ? " mono" : " stereo"));
    TALVEN_ChannelRemoveDSP(0, handle);
}

void BM_Instances(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string path = pluginPath(0, 2);
    freshTraceFile();
    std::vector<std::unique_ptr<Channel>> channels;
    std::vector<std::uint32_t> handles;
    for (int i = 0; i < count; ++i) {
        channels.push_back(std::make_unique<Channel>(2));
        handles.push_back(TALVEN_ChannelSetDSP(channels.back()->stream, path.c_str(), 0, 0, 0, 0, 0, nullptr, ""));
        if (!handles.back()) {
            state.SkipWithError("cannot attach");
            return;
        }
    }
    std::vector<float> block(512 * 2);
    for (auto _ : state) {
        for (const auto& channel : channels)
            channel->pull(block);
    }
    // Seconds per block: the iteration's time shared by its blocks.
    state.counters["per_block"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    for (std::uint32_t handle : handles)
        TALVEN_ChannelRemoveDSP(0, handle);
}

void BM_TraceLine(benchmark::State& state)
{
    freshTraceFile();
    for (auto _ : state)
        talven::writeTraceLine("processAudio: start>>>");
    state.counters["allocs_per_line"] = benchmark::Counter(static_cast<double>(
        allocationsOf([] { talven::writeTraceLine("processAudio: start>>>"); })));
    freshTraceFile();
}

BENCHMARK(BM_Block)
    ->ArgNames({"zam", "chans", "frames"})
    ->ArgsProduct({{0, 1}, {1, 2}, {64, 512, 4096}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Instances)->ArgName("instances")->Arg(1)->Arg(16)->Arg(128)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TraceLine)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    talven::registryLoad();
    if (!BASS_Init(0, 48000, 0, nullptr, nullptr))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BASS_Free();
    freshTraceFile();
    talven::registryUnload();
    return 0;
}
