// State: random values, store, recall, store again: the two files must be
// identical. A second instance that recalls the file must then sound like
// the first (bit-identical when the plug-in is deterministic) and show the
// same parameter values.
#include "Check.h"

#include "../Channel.h"
#include "../Instance.h"
#include "../ParameterList.h"
#include "../Random.h"
#include "../Signal.h"
#include "../Text.h"

#include "talven.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace talven::validate {
namespace {

const char* const kFirstFile = "state-first.vstpreset";
const char* const kSecondFile = "state-second.vstpreset";

constexpr std::uint32_t kBlock = 1024;
constexpr int kSettleBlocks = 22;   // half a second of silence, twice
constexpr int kCompareBlocks = 100; // 2.3 s of signal
constexpr double kLevelTolerance = 1.0; // dB, for plug-ins that are not deterministic

std::string readFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An instance on a decoding channel of the shared signal.
struct Subject {
    Subject(std::uint64_t signal, const std::string& plugin)
        : channel(signal, 2, 44100, false), instance(channel.handle(), plugin)
    {
        channel.source().silent = true;
    }
    bool ok() const { return channel.ok() && instance.ok(); }

    // Silence in, so that parameter smoothing settles on the same values.
    bool settle()
    {
        std::vector<float> block;
        for (int i = 0; i < kSettleBlocks; ++i) {
            if (!channel.pull(kBlock, block))
                return false;
        }
        return true;
    }

    // The output for the signal, from the same frame on in every subject.
    bool listen(std::vector<float>& output)
    {
        channel.source().silent = false;
        std::vector<float> block;
        output.clear();
        for (int i = 0; i < kCompareBlocks; ++i) {
            if (!channel.pull(kBlock, block))
                return false;
            output.insert(output.end(), block.begin(), block.end());
        }
        return true;
    }

    Channel channel;
    Instance instance;
};

// Attaches and goes the first subject's way: settles, recalls the first
// file where the first one stored and recalled it, settles again. A plug-in
// that resets its running state when it takes a state then does so at the
// same point in both.
std::unique_ptr<Subject> recalled(std::uint64_t signal, const std::string& plugin, Outcome& outcome)
{
    auto subject = std::make_unique<Subject>(signal, plugin);
    if (!subject->ok()) {
        outcome.problem("cannot attach a second instance");
        return nullptr;
    }
    outcome.operation();
    if (!subject->settle()) {
        outcome.problem("BASS delivered less than asked");
        return nullptr;
    }
    if (TALVEN_RecallPreset(kFirstFile, subject->instance.handle()) != 1) {
        outcome.problem("a second instance refused the stored preset");
        return nullptr;
    }
    if (!subject->settle()) {
        outcome.problem("BASS delivered less than asked");
        return nullptr;
    }
    return subject;
}

double rmsDb(const std::vector<float>& samples)
{
    double sum = 0;
    for (const float s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : 10 * std::log10(sum / static_cast<double>(samples.size()) + 1e-30);
}

std::size_t firstDifference(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Store, recall, store: the same bytes twice.
bool roundTrip(std::uint32_t handle, Outcome& outcome)
{
    outcome.operation(3);
    if (TALVEN_StorePreset(kFirstFile, 0, handle) != 1) {
        outcome.problem("storing the preset failed");
        return false;
    }
    if (TALVEN_RecallPreset(kFirstFile, handle) != 1) {
        outcome.problem("recalling the preset just stored failed");
        return false;
    }
    if (TALVEN_StorePreset(kSecondFile, 0, handle) != 1) {
        outcome.problem("storing the preset a second time failed");
        return false;
    }
    const std::string first = readFile(kFirstFile);
    const std::string second = readFile(kSecondFile);
    if (first != second)
        outcome.problem("store, recall, store gave different files (" + std::to_string(first.size()) + " and " +
                        std::to_string(second.size()) + " bytes, first difference at byte " +
                        std::to_string(firstDifference(first, second)) + ")");
    return true;
}

void compareParameters(std::uint32_t first, std::uint32_t second, const std::vector<Parameter>& parameters,
                       Outcome& outcome)
{
    for (const Parameter& parameter : parameters) {
        const double a = TALVEN_GetParam(first, parameter.id);
        const double b = TALVEN_GetParam(second, parameter.id);
        outcome.operation();
        if (!readsBack(parameter, a, b))
            outcome.problem("after the recall " + describe(parameter) + " reads " + fixed(b, 6) +
                            " in the second instance and " + fixed(a, 6) + " in the first");
    }
}

// A against B; C, a third instance made like B, tells whether a
// difference is the plug-in's own randomness.
void compareSound(const std::vector<float>& first, const std::vector<float>& second, std::uint64_t signal,
                  const std::string& plugin, Outcome& outcome)
{
    if (sameBits(first, second))
        return;
    std::unique_ptr<Subject> third = recalled(signal, plugin, outcome);
    std::vector<float> thirdOutput;
    if (!third || !third->listen(thirdOutput))
        return;
    const double difference = std::fabs(rmsDb(first) - rmsDb(second));
    if (sameBits(second, thirdOutput))
        outcome.problem("a second instance that recalled the preset sounds different from the first (levels " +
                        fixed(rmsDb(first), 2) + " and " + fixed(rmsDb(second), 2) +
                        " dB), though the plug-in is deterministic");
    else if (difference > kLevelTolerance)
        outcome.problem("a second instance that recalled the preset sounds different from the first (levels " +
                        fixed(rmsDb(first), 2) + " and " + fixed(rmsDb(second), 2) + " dB)");
    else
        outcome.flag("the recalled instance is not bit-identical (the plug-in is not deterministic); levels within " +
                     fixed(difference, 2) + " dB");
}

} // namespace

void runStateCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "state");
    const std::uint64_t signal = random.next();
    Subject first(signal, context.plugin);
    if (!first.ok()) {
        outcome.problem("cannot attach");
        return;
    }
    std::vector<Parameter> chosen;
    for (const Parameter& parameter : readParameters(first.instance.handle())) {
        if (isWritable(parameter) && !changesMoreThanItself(parameter))
            chosen.push_back(parameter);
    }
    outcome.summary(std::to_string(chosen.size()) + " parameters set at random; store, recall, store");
    for (const Parameter& parameter : chosen) {
        outcome.operation();
        if (TALVEN_SetParam(first.instance.handle(), parameter.id, static_cast<float>(random.unit())) != 0)
            outcome.problem(describe(parameter) + " refused a value");
    }
    // The processor takes set values with the next block: settle first.
    if (!first.settle() || !roundTrip(first.instance.handle(), outcome) || !first.settle())
        return;
    std::unique_ptr<Subject> second = recalled(signal, context.plugin, outcome);
    if (!second)
        return;
    compareParameters(first.instance.handle(), second->instance.handle(), chosen, outcome);
    std::vector<float> firstOutput;
    std::vector<float> secondOutput;
    if (!first.listen(firstOutput) || !second->listen(secondOutput)) {
        outcome.problem("BASS delivered less than asked");
        return;
    }
    compareSound(firstOutput, secondOutput, signal, context.plugin, outcome);
    outcome.summary(std::to_string(chosen.size()) + " parameters set at random; store, recall, store; a second "
                    "instance recalled the preset and heard " + std::to_string(kCompareBlocks * kBlock) +
                    " frames beside the first");
    first.instance.detach();
    second->instance.detach();
    takeCensus(outcome);
}

} // namespace talven::validate
