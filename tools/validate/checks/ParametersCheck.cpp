// Parameters: every parameter a host may set is swept over its range
// (stepped ones on each step) while audio runs, then --threads threads set
// random values at once, each on an instance of its own as the header asks;
// every value must read back within the plug-in's step. Last, the sweep
// again on a decoding channel, listening: a plug-in whose output equals its
// input in every block however its parameters are set is flagged (it is
// most likely not processing at all). An instrument plays on streams of its
// own with a chord held instead, and its last sweep checks that every
// sample stays finite.
#include "Check.h"

#include "../BlockMonitor.h"
#include "../Channel.h"
#include "../Instance.h"
#include "../InstrumentStream.h"
#include "../Listener.h"
#include "../ParameterList.h"
#include "../Player.h"
#include "../Random.h"
#include "../Signal.h"
#include "../Text.h"

#include "talven.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace talven::validate {
namespace {

// Each thread's share: so many sets, or less when the plug-in is slow to take them.
constexpr int kSetsPerThread = 400;
constexpr auto kThreadTimeLimit = std::chrono::seconds(2);
// The lengths of the blocks listened to, in turn: some plug-ins process
// only blocks of one length and pass others dry (ZamVerb's convolution
// takes only the announced maximum, 4096 frames).
const std::uint32_t kListenedLengths[] = {4096, 1024, 512, 2048, 256, 441, 128, 1000, 64};
constexpr std::size_t kListenedLengthCount = sizeof kListenedLengths / sizeof kListenedLengths[0];

// Sets value and reads it back; a problem when refused or read back wrong.
// Counts as one operation. Thread: the instance's one thread.
void setAndReadBack(std::uint32_t handle, const Parameter& parameter, double value, Outcome& outcome,
                    std::mutex* lock)
{
    const float sent = static_cast<float>(value);
    const std::int32_t result = TALVEN_SetParam(handle, parameter.id, sent);
    const double read = TALVEN_GetParam(handle, parameter.id);
    std::string problem;
    if (result != 0)
        problem = describe(parameter) + ": setting " + fixed(sent, 6) + " was refused (VST 3 result " +
                  std::to_string(result) + ")";
    else if (!readsBack(parameter, sent, read))
        problem = describe(parameter) + ": set to " + fixed(sent, 6) + ", read back " + fixed(read, 6) +
                  " (allowed difference " + fixed(readBackTolerance(parameter), 6) + ")";
    std::unique_lock<std::mutex> guard;
    if (lock)
        guard = std::unique_lock<std::mutex>(*lock);
    outcome.operation();
    if (!problem.empty())
        outcome.problem(problem);
}

std::vector<Parameter> writableOf(const std::vector<Parameter>& parameters)
{
    std::vector<Parameter> writable;
    for (const Parameter& parameter : parameters) {
        if (isWritable(parameter))
            writable.push_back(parameter);
    }
    return writable;
}

void sweep(Player& player, const std::vector<Parameter>& writable, Random& random, Outcome& outcome)
{
    for (const Parameter& parameter : writable) {
        for (const double value : sweepValues(parameter, random))
            setAndReadBack(player.handle(), parameter, value, outcome, nullptr);
        // Let the processor take the values while the next one is swept.
        if (!player.monitor().waitForBlocks(1))
            outcome.problem("audio stalled while " + describe(parameter) + " was swept");
    }
}

// Thread: one per player, the only one calling its instance's parameter functions.
void setAtRandom(Player& player, const std::vector<Parameter>& writable, Random random, Outcome& outcome,
                 std::mutex& lock)
{
    const std::uint32_t handle = player.handle();
    const auto deadline = std::chrono::steady_clock::now() + kThreadTimeLimit;
    for (int i = 0; i < kSetsPerThread && std::chrono::steady_clock::now() < deadline; ++i) {
        const Parameter& parameter = writable[random.below(writable.size())];
        setAndReadBack(handle, parameter, random.unit(), outcome, &lock);
        if (i % 16 == 0) {
            TALVEN_PARAMETERINFO info{};
            TALVEN_GetParamInfo(handle, parameter.index, &info);
        }
    }
}

// The players stay with the caller until its census.
void setFromThreads(const CheckContext& context, const std::vector<Parameter>& writable, Random& random,
                    std::vector<std::unique_ptr<Player>>& players, Outcome& outcome)
{
    for (int t = 0; t < context.threads; ++t) {
        players.push_back(std::make_unique<Player>(random.next(), context.plugin, context.instrument));
        if (!players.back()->ok()) {
            outcome.problem(std::string(context.instrument ? "cannot make the stream of instance "
                                                           : "cannot attach instance ") +
                            std::to_string(t + 1) + " for the threads");
            return;
        }
    }
    std::mutex lock;
    std::vector<std::thread> threads;
    for (int t = 0; t < context.threads; ++t)
        threads.emplace_back(setAtRandom, std::ref(*players[static_cast<std::size_t>(t)]), std::cref(writable),
                             Random::derived(context.seed, "parameters", static_cast<std::uint64_t>(t) + 1),
                             std::ref(outcome), std::ref(lock));
    for (std::thread& thread : threads)
        thread.join();
    for (const auto& player : players) {
        if (!player->monitor().waitForBlocks(1))
            outcome.problem("audio stalled on an instance set from its thread");
        player->release();
    }
}

// Sweeps every settable parameter on an instance of its own on a decoding
// channel, pulling a block after each value, until a block comes out
// different from its input; before and after the sweep, one block of each
// length. Returns the blocks heard, 0 when one changed.
int listenWhileSweeping(const CheckContext& context, const std::vector<Parameter>& writable, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "parameters-listening");
    Channel channel(random.next(), 2, 44100, false);
    Instance instance(channel.handle(), context.plugin);
    if (!channel.ok() || !instance.ok()) {
        outcome.problem("cannot attach on a decoding channel to listen");
        return 0;
    }
    Listener listener(channel);
    int blocks = 0;
    // True when the block came out changed.
    const auto changed = [&] {
        bool unchanged = true;
        const std::uint32_t length = kListenedLengths[static_cast<std::size_t>(blocks) % kListenedLengthCount];
        ++blocks;
        outcome.operation();
        if (!listener.pull(length, unchanged))
            outcome.problem("BASS delivered less than asked while listening");
        return !unchanged;
    };
    const auto everyLength = [&] {
        for (std::size_t i = 0; i < kListenedLengthCount; ++i) {
            if (changed())
                return true;
        }
        return false;
    };
    if (everyLength())
        return 0;
    for (const Parameter& parameter : writable) {
        for (const double value : sweepValues(parameter, random)) {
            TALVEN_SetParam(instance.handle(), parameter.id, static_cast<float>(value));
            if (changed())
                return 0;
        }
    }
    return everyLength() ? 0 : blocks;
}

// An instrument has no input to compare with: on a decoding stream of its
// own with a chord held, every settable parameter is set to one of its sweep
// values at random and a block pulled; every sample must stay finite. (One
// value each: JUCE's instruments list some 2,000 MIDI controller
// parameters.) Returns the blocks played.
int playWhileSweeping(const CheckContext& context, const std::vector<Parameter>& writable, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "parameters-listening");
    InstrumentStream stream(context.plugin, 2, 44100);
    if (!stream.ok() || !stream.send(heldChord())) {
        outcome.problem("cannot make a decoding stream of the instrument to play");
        return 0;
    }
    int blocks = 0;
    int nonFinite = 0;
    std::vector<float> block;
    for (const Parameter& parameter : writable) {
        const std::vector<double> values = sweepValues(parameter, random);
        const double value = values[random.below(values.size())];
        TALVEN_SetParam(stream.handle(), parameter.id, static_cast<float>(value));
        const std::uint32_t length = kListenedLengths[static_cast<std::size_t>(blocks) % kListenedLengthCount];
        ++blocks;
        outcome.operation();
        if (!stream.pull(length, block)) {
            outcome.problem("BASS delivered less than asked while the instrument played");
            return blocks;
        }
        if (firstNonFinite(block.data(), block.size()) != block.size() && nonFinite++ == 0)
            outcome.problem(describe(parameter) + " at " + fixed(value, 6) + ": the instrument played samples "
                            "that are not finite");
    }
    return blocks;
}

} // namespace

void runParametersCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "parameters");
    Player player(random.next(), context.plugin, context.instrument);
    if (!player.ok()) {
        outcome.problem(context.instrument ? "cannot make a playing stream of the instrument"
                                           : "cannot attach on a playing channel");
        return;
    }
    if (!player.monitor().waitForBlocks(1))
        outcome.problem("audio did not run");
    int undescribed = 0;
    const std::vector<Parameter> parameters = readParameters(player.handle(), &undescribed);
    if (undescribed > 0)
        outcome.problem(std::to_string(undescribed) + " parameter(s) could not be described");
    const std::vector<Parameter> writable = writableOf(parameters);
    sweep(player, writable, random, outcome);
    const std::uint64_t swept = outcome.operations();
    std::vector<std::unique_ptr<Player>> players;
    if (!writable.empty())
        setFromThreads(context, writable, random, players, outcome);
    const std::uint64_t beforeListening = outcome.operations();
    if (context.instrument && !writable.empty())
        playWhileSweeping(context, writable, outcome);
    const int unchanged = writable.empty() || context.instrument ? 0 : listenWhileSweeping(context, writable, outcome);
    if (unchanged > 0)
        outcome.flag("the output equalled the input in every one of " + std::to_string(unchanged) +
                     " blocks while the " + std::to_string(writable.size()) + " settable parameter(s) were swept: " +
                     "the plug-in may not be processing (a plug-in whose audio buses the host left inactive plays " +
                     "dry this way)");
    outcome.summary(std::to_string(parameters.size()) + " parameters (" + std::to_string(writable.size()) +
                    " settable): " + std::to_string(swept) + " sweep steps while audio ran, then " +
                    std::to_string(beforeListening - swept) + " random sets from " +
                    std::to_string(context.threads) + " threads on instances of their own" +
                    (writable.empty() ? std::string()
                                      : ", then " + std::to_string(outcome.operations() - beforeListening) +
                                            (context.instrument ? " block(s) of a chord played, a parameter set before each"
                                                                : " block(s) listened to while sweeping")));
    player.release();
    takeCensus(outcome);
}

} // namespace talven::validate
