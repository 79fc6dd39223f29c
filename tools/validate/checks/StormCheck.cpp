// Storm: for --seconds, --threads threads attach, set, bypass, store,
// recall and detach against several playing channels while another thread
// frees channels at random and makes new ones. Nothing may crash or hang
// (the parent process sees that), and once every instance is detached no
// handle may answer and no DSP or sync of the library may be left. An
// instrument is not attached but played: each "attach" makes a playing
// stream of it, the threads send it notes too, a "detach" frees the stream
// one way or another, and the other thread frees the threads' streams at
// random.
#include "Check.h"

#include "../Census.h"
#include "../Channel.h"
#include "../Instance.h"
#include "../InstrumentStream.h"
#include "../Random.h"
#include "../Text.h"

#include "talven.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talven::validate {
namespace {

constexpr int kMaxInstancesPerThread = 3;
const std::uint32_t kChannelCounts[] = {1, 2, 6};
const std::uint32_t kRates[] = {44100, 48000, 96000};

using Clock = std::chrono::steady_clock;

enum Op { Attach, Set, Bypass, Store, Recall, Detach, Query, Events, FreeChannel, kOpCount };
const char* const kOpNames[kOpCount] = {"attaches", "sets",    "bypass switches", "stores",       "recalls",
                                        "detaches", "queries", "event sends",     "channel frees"};

struct Tally {
    std::atomic<std::uint64_t> done[kOpCount] = {};
    std::atomic<std::uint64_t> refused[kOpCount] = {};

    void note(Op op, bool ok) { ++(ok ? done : refused)[op]; }
};

// The playing channels, replaced at random by the keeper thread.
class ChannelPool {
public:
    ChannelPool(std::size_t size, Random& random)
    {
        for (std::size_t i = 0; i < size; ++i)
            slots_.push_back(make(random));
    }

    // Any thread.
    HSTREAM pick(Random& random)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return slots_[random.below(slots_.size())]->handle();
    }

    // The keeper thread: frees one channel (its instances go with it) and
    // puts a new one in its place. The free runs outside the pool's lock, as
    // it calls into the library.
    bool replaceOne(Random& random)
    {
        std::unique_ptr<Channel> channel = make(random);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slots_[random.below(slots_.size())].swap(channel);
        }
        return channel->free(random.chance(0.5)); // the one taken out
    }

    // After the workers stopped.
    void freeAll()
    {
        for (auto& slot : slots_)
            slot->free(false);
    }

    // An instrument's stream a worker made, which the keeper may free.
    void addStream(HSTREAM stream)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        streams_.push_back(stream);
    }
    // False when the keeper took it already. Any thread.
    bool takeStream(HSTREAM stream)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = std::find(streams_.begin(), streams_.end(), stream);
        if (it == streams_.end())
            return false;
        streams_.erase(it);
        return true;
    }
    // The keeper thread: frees one of the workers' streams (the instrument
    // goes with it), outside the pool's lock. False when there was none or
    // the free was refused.
    bool freeAStream(Random& random)
    {
        HSTREAM stream = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (streams_.empty())
                return false;
            const std::size_t which = random.below(streams_.size());
            stream = streams_[which];
            streams_.erase(streams_.begin() + static_cast<std::ptrdiff_t>(which));
        }
        return random.chance(0.5) ? TALVEN_ChannelFree(stream) == 1 : BASS_StreamFree(stream) != 0;
    }

private:
    static std::unique_ptr<Channel> make(Random& random)
    {
        const std::uint32_t channels = kChannelCounts[random.below(3)];
        const std::uint32_t rate = kRates[random.below(3)];
        return std::make_unique<Channel>(random.next(), channels, rate, true);
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<Channel>> slots_;
    std::vector<HSTREAM> streams_;
};

// One worker: the instances it attached, used only from its thread.
class Worker {
public:
    Worker(int index, const CheckContext& context, ChannelPool& pool, Tally& tally)
        : random_(Random::derived(context.seed, "storm", static_cast<std::uint64_t>(index) + 1)),
          plugin_(context.plugin), preset_("storm-" + std::to_string(index) + ".vstpreset"),
          instrument_(context.instrument), pool_(pool), tally_(tally)
    {
    }

    void run(Clock::time_point deadline)
    {
        while (Clock::now() < deadline)
            step();
    }

    // After the run, from the check's thread: detaches what is left.
    void detachAll()
    {
        for (const std::uint32_t handle : owned_)
            TALVEN_ChannelRemoveDSP(0, handle); // an instrument's stream goes with it
        owned_.clear();
        streams_.clear();
    }

private:
    void step()
    {
        const std::uint64_t roll = random_.below(16);
        if (owned_.empty() || (roll < 3 && owned_.size() < kMaxInstancesPerThread)) {
            attach();
            return;
        }
        const std::size_t which = random_.below(owned_.size());
        const std::uint32_t handle = owned_[which];
        bool ok = false;
        Op op = Query;
        if (roll < 7) {
            op = Set;
            const std::int32_t count = TALVEN_GetParamCount(handle);
            TALVEN_PARAMETERINFO info{};
            ok = count > 0 && TALVEN_GetParamInfo(handle, static_cast<std::int32_t>(random_.below(count)), &info) == 0 &&
                 TALVEN_SetParam(handle, info.id, static_cast<float>(random_.unit())) == 0;
        } else if (roll < 9) {
            op = Bypass;
            ok = TALVEN_SetBypass(handle, TALVEN_GetBypass(handle) ? 0 : 1) == 1;
        } else if (roll < 10) {
            op = Store;
            ok = TALVEN_StorePreset(preset_.c_str(), 0, handle) == 1;
            stored_ = stored_ || ok;
        } else if (roll < 11 && stored_) {
            op = Recall;
            ok = TALVEN_RecallPreset(preset_.c_str(), handle) == 1;
        } else if (roll < 13) {
            op = Detach;
            ok = instrument_ ? freeStream(which) : TALVEN_ChannelRemoveDSP(0, handle) == 1;
            forget(which);
        } else if (instrument_ && roll < 15) {
            op = Events;
            const std::uint8_t notes[] = {0x90, static_cast<std::uint8_t>(random_.between(36, 96)), 100,
                                          0xB0, 7, static_cast<std::uint8_t>(random_.below(128)),
                                          0x80, static_cast<std::uint8_t>(random_.between(36, 96)), 0};
            ok = TALVEN_StreamEvents(handle, TALVEN_EVENTS_RAW, notes, sizeof notes) >= 0;
        } else {
            TALVEN_GetParam(handle, 0);
            ok = TALVEN_GetParamCount(handle) >= 0;
        }
        tally_.note(op, ok);
        // A refusal usually means the keeper freed the channel: forget
        // instances that no longer answer.
        if (!ok && op != Detach && TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr) == 0)
            forget(which);
    }

    void forget(std::size_t which)
    {
        owned_.erase(owned_.begin() + static_cast<std::ptrdiff_t>(which));
        if (instrument_) {
            // Out of the keeper's reach too: the stream is gone or going.
            pool_.takeStream(streams_[which]);
            streams_.erase(streams_.begin() + static_cast<std::ptrdiff_t>(which));
        }
    }

    // Frees the instrument's stream one of the three ways a program may,
    // unless the keeper took it first (then the handle no longer answers).
    bool freeStream(std::size_t which)
    {
        const HSTREAM stream = streams_[which];
        if (!pool_.takeStream(stream))
            return TALVEN_GetParamCount(owned_[which]) == 0;
        switch (random_.below(3)) {
        case 0: return BASS_StreamFree(stream) != 0;
        case 1: return TALVEN_ChannelFree(stream) == 1;
        default: return TALVEN_ChannelRemoveDSP(stream, owned_[which]) == 1;
        }
    }

    void attach()
    {
        if (instrument_) {
            std::uint32_t handle = 0;
            const HSTREAM stream = TALVEN_StreamCreate(kRates[random_.below(3)], kChannelCounts[random_.below(3)],
                                                       plugin_.c_str(), nullptr, 0, &handle);
            noteHandle(handle);
            tally_.note(Attach, stream != 0);
            if (stream == 0)
                return;
            BASS_ChannelPlay(stream, FALSE);
            owned_.push_back(handle);
            streams_.push_back(stream);
            pool_.addStream(stream);
            return;
        }
        const std::uint32_t handle = attachPlugin(pool_.pick(random_), plugin_);
        tally_.note(Attach, handle != 0);
        if (handle)
            owned_.push_back(handle);
    }

    Random random_;
    const std::string plugin_;
    const std::string preset_;
    const bool instrument_;
    ChannelPool& pool_;
    Tally& tally_;
    std::vector<std::uint32_t> owned_;
    std::vector<HSTREAM> streams_; // an instrument's: the stream of each owned handle
    bool stored_ = false;
};

// The keeper thread: frees a channel every few milliseconds, but only once
// something was attached since the last free: at a fixed pace, a plug-in
// slow to load would see every attach refused as its channel went.
void keepFreeing(ChannelPool& pool, Random random, Clock::time_point deadline, Tally& tally, bool instrument)
{
    std::uint64_t attachesSeen = 0;
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(random.between(5, 60)));
        const std::uint64_t attaches = tally.done[Attach];
        if (attaches == attachesSeen)
            continue;
        attachesSeen = attaches;
        tally.note(FreeChannel, instrument ? pool.freeAStream(random) : pool.replaceOne(random));
    }
}

std::string describeTally(const Tally& tally)
{
    std::string text;
    for (int op = 0; op < kOpCount; ++op) {
        if (!text.empty())
            text += ", ";
        text += std::to_string(tally.done[op].load()) + " " + kOpNames[op];
        if (tally.refused[op] > 0)
            text += " (" + std::to_string(tally.refused[op].load()) + " refused)";
    }
    return text;
}

} // namespace

// ThreadSanitizer cannot follow a module that is unloaded and loaded again
// at the same address: it takes the new copy's static initialisation for a
// race with the old copy's last use. Under it, one instance outside the
// storm keeps the module loaded; ModuleExit still runs with every instance.
#if defined(__SANITIZE_THREAD__)
constexpr bool kKeepModuleLoaded = true;
#else
constexpr bool kKeepModuleLoaded = false;
#endif

void runStormCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "storm");
    Channel anchorChannel(random.next(), 2, 44100, false);
    Instance anchor;
    std::unique_ptr<InstrumentStream> instrumentAnchor;
    if (kKeepModuleLoaded && context.instrument)
        instrumentAnchor = std::make_unique<InstrumentStream>(context.plugin, 2, 44100);
    else if (kKeepModuleLoaded)
        anchor = Instance(anchorChannel.handle(), context.plugin);
    // An instrument plays on streams of its own, which the workers make.
    ChannelPool pool(context.instrument ? 0 : static_cast<std::size_t>(context.threads) + 2, random);
    Tally tally;
    std::vector<std::unique_ptr<Worker>> workers;
    for (int t = 0; t < context.threads; ++t)
        workers.push_back(std::make_unique<Worker>(t, context, pool, tally));

    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(context.seconds));
    std::vector<std::thread> threads;
    for (auto& worker : workers)
        threads.emplace_back([&worker, deadline] { worker->run(deadline); });
    threads.emplace_back(keepFreeing, std::ref(pool), Random::derived(context.seed, "storm-keeper"), deadline,
                         std::ref(tally), context.instrument);
    for (std::thread& thread : threads)
        thread.join();

    for (auto& worker : workers)
        worker->detachAll();
    anchor.detach();
    if (instrumentAnchor)
        instrumentAnchor->free();
    for (int op = 0; op < kOpCount; ++op)
        outcome.operation(tally.done[op] + tally.refused[op]);
    if (tally.done[Attach] == 0)
        outcome.problem("no attach succeeded");
    outcome.summary(std::to_string(outcome.operations()) + " operations on " + std::to_string(context.threads) +
                    " threads and a channel keeper over " + fixed(context.seconds, 1) + " s: " +
                    describeTally(tally));
    takeCensus(outcome);
    pool.freeAll();
}

} // namespace talven::validate
