// How long a block waits for what another thread does to another instance.
// 10,000 512-frame stereo blocks of ZamCompX2 through the library run back
// to back while another thread attaches ZamCompX2 to a channel of its own,
// bypasses it, takes it out of bypass, stores a preset of it and detaches it,
// over and over; then 10,000 more alone. The block path takes no lock but its
// own instance's, so what remains is what the machine and the trace file
// share. Figures in microseconds per block:
//   quiet_median_us, quiet_p999_us, quiet_worst_us   blocks alone
//   busy_median_us, busy_p99_us, busy_p999_us, busy_worst_us
//                                     blocks with the other thread running
//   worst_wait_us   busy_worst_us - quiet_median_us: the longest a block took
//                   beyond a normal block
//   slept_blocks, slept_worst_us
//                   busy blocks during which the block thread slept (a
//                   voluntary context switch: a lock or I/O it waited for),
//                   and the longest of them
//   preempted_blocks, preempted_worst_us
//                   busy blocks during which it was preempted (an
//                   involuntary switch), and the longest of them
//   churn_cycles    attach..detach cycles the other thread completed
// Arguments: whether the trace is on (as a program runs by default), and
// whether the block thread runs in the real-time class (SCHED_FIFO), as an
// audio thread does, so that other programs' threads do not preempt it
// (counter realtime: 1 when that was allowed).
#include "BenchSetup.h"

#include "log/TraceLog.h"
#include "talven.h"

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace talven::bench {
namespace {

constexpr int kFrames = 512;
constexpr std::size_t kBlocks = 10000;
constexpr const char* kPresetFile = "bench-wait.vstpreset";

// Attaches, bypasses, stores a preset of and detaches an instance, again and
// again, on a thread of its own until destroyed.
class Churn {
public:
    explicit Churn(std::string path) : path_(std::move(path)), thread_([this] { run(); }) {}
    ~Churn()
    {
        running_ = false;
        thread_.join();
        std::remove(kPresetFile);
    }
    Churn(const Churn&) = delete;
    Churn& operator=(const Churn&) = delete;

    long cycles() const { return cycles_.load(); }
    long failures() const { return failures_.load(); }

private:
    // The churn thread.
    void run()
    {
        while (running_.load()) {
            AttachedPlugin other(path_);
            const bool ok = other.ready() && TALVEN_SetBypass(other.handle(), 1) == 1 &&
                            TALVEN_SetBypass(other.handle(), 0) == 1 &&
                            TALVEN_StorePreset(kPresetFile, 0, other.handle()) == 1;
            (ok ? cycles_ : failures_).fetch_add(1);
        }
    }

    std::string path_;
    std::atomic<bool> running_{true};
    std::atomic<long> cycles_{0};
    std::atomic<long> failures_{0};
    std::thread thread_;
};

// The calling thread in the real-time class for the length of a scope, where
// the system allows it.
class RealTimeScope {
public:
    explicit RealTimeScope(bool wanted)
    {
        sched_param param{};
        param.sched_priority = 10;
        active_ = wanted && pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    }
    ~RealTimeScope()
    {
        sched_param param{};
        if (active_)
            pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    }
    RealTimeScope(const RealTimeScope&) = delete;
    RealTimeScope& operator=(const RealTimeScope&) = delete;

    bool active() const { return active_; }

private:
    bool active_ = false;
};

// The calling thread's voluntary and involuntary context switches so far.
struct Switches {
    long slept = 0;
    long preempted = 0;
    static Switches now()
    {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return {usage.ru_nvcsw, usage.ru_nivcsw};
    }
};

struct BlockRun {
    Timings blocks{kBlocks};
    // The blocks during which the thread slept (waited for a lock or I/O),
    // and those during which it was preempted.
    Timings slept{kBlocks};
    Timings preempted{kBlocks};
};

// kBlocks blocks through plugin, each timed and sorted by what the calling
// thread went through meanwhile (read outside the timed span).
BlockRun timeBlocks(AttachedPlugin& plugin, Signal& signal)
{
    BlockRun run;
    std::vector<float> block(static_cast<std::size_t>(kFrames) * kChannels);
    for (std::size_t i = 0; i < kBlocks; ++i) {
        signal.next(block.data(), kFrames);
        const Switches before = Switches::now();
        const auto start = Clock::now();
        plugin.block(block.data(), kFrames);
        const double time = microseconds(start, Clock::now());
        const Switches after = Switches::now();
        run.blocks.add(time);
        if (after.slept != before.slept)
            run.slept.add(time);
        if (after.preempted != before.preempted)
            run.preempted.add(time);
    }
    return run;
}

void BM_BlockWait(benchmark::State& state)
{
    const bool traceOn = state.range(0) != 0;
    const bool realTime = state.range(1) != 0;
    const std::string path = pluginPath(kZamCompX2);
    std::remove(kTraceFileName);
    AttachedPlugin plugin(path);
    if (!plugin.ready()) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    const int previous = TALVEN_SetTrace(traceOn ? 1 : 0);
    Signal signal(kChannels);
    timeBlocks(plugin, signal); // warm-up
    for (auto _ : state) {
        long cycles = 0;
        long failures = 0;
        BlockRun quietRun;
        BlockRun busyRun;
        bool realTimeActive = false;
        {
            Churn churn(path);
            while (churn.cycles() + churn.failures() == 0)
                std::this_thread::yield();
            const RealTimeScope scope(realTime);
            realTimeActive = scope.active();
            const long before = churn.cycles();
            busyRun = timeBlocks(plugin, signal);
            cycles = churn.cycles() - before;
            failures = churn.failures();
        }
        {
            const RealTimeScope scope(realTime);
            quietRun = timeBlocks(plugin, signal);
        }
        const Timings& quiet = quietRun.blocks;
        const Timings& busy = busyRun.blocks;
        state.counters["quiet_median_us"] = quiet.median();
        state.counters["quiet_p999_us"] = quiet.quantile(0.999);
        state.counters["quiet_worst_us"] = quiet.worst();
        state.counters["busy_median_us"] = busy.median();
        state.counters["busy_p99_us"] = busy.quantile(0.99);
        state.counters["busy_p999_us"] = busy.quantile(0.999);
        state.counters["busy_worst_us"] = busy.worst();
        state.counters["worst_wait_us"] = busy.worst() - quiet.median();
        state.counters["slept_blocks"] = static_cast<double>(busyRun.slept.size());
        state.counters["slept_worst_us"] = busyRun.slept.worst();
        state.counters["preempted_blocks"] = static_cast<double>(busyRun.preempted.size());
        state.counters["preempted_worst_us"] = busyRun.preempted.worst();
        state.counters["churn_cycles"] = static_cast<double>(cycles);
        state.counters["realtime"] = realTimeActive ? 1 : 0;
        if (failures > 0)
            state.SkipWithError("the other thread's calls failed");
    }
    TALVEN_SetTrace(previous);
    std::remove(kTraceFileName);
}

BENCHMARK(BM_BlockWait)
    ->ArgNames({"trace", "realtime"})
    ->ArgsProduct({{1, 0}, {1, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace talven::bench
