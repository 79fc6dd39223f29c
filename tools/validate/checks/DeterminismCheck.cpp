// Determinism: two instances fed the same signal in the same blocks give
// bit-identical output. A difference is flagged, not failed: some plug-ins
// are random on purpose.
#include "Check.h"

#include "../Channel.h"
#include "../Instance.h"
#include "../Random.h"
#include "../Signal.h"
#include "../Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace talven::validate {
namespace {

constexpr int kBlocks = 150;
constexpr std::uint32_t kMaxBlock = 10000;

double largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double largest = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        largest = std::max(largest, static_cast<double>(std::fabs(a[i] - b[i])));
    return largest;
}

} // namespace

void runDeterminismCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "determinism");
    const std::uint64_t signal = random.next();
    Channel first(signal, 2, 44100, false);
    Channel second(signal, 2, 44100, false);
    Instance a(first.handle(), context.plugin);
    Instance b(second.handle(), context.plugin);
    if (!first.ok() || !second.ok() || !a.ok() || !b.ok()) {
        outcome.problem("cannot attach two instances");
        return;
    }
    std::vector<float> blockA;
    std::vector<float> blockB;
    int differing = -1;
    double largest = 0;
    std::uint64_t frames = 0;
    for (int i = 0; i < kBlocks; ++i) {
        const std::uint32_t length = randomBlockLength(random, kMaxBlock);
        outcome.operation();
        if (!first.pull(length, blockA) || !second.pull(length, blockB)) {
            outcome.problem("block " + std::to_string(i) + ": BASS delivered less than asked");
            continue;
        }
        frames += length;
        if (std::memcmp(blockA.data(), blockB.data(), blockA.size() * sizeof(float)) != 0) {
            if (differing < 0)
                differing = i;
            largest = std::max(largest, largestDifference(blockA, blockB));
        }
    }
    if (differing >= 0)
        outcome.flag("the two instances' outputs differ from block " + std::to_string(differing) +
                     " on (largest difference " + dbfs(toDbfs(largest)) + ")");
    outcome.summary("2 instances, " + std::to_string(outcome.operations()) + " blocks (" + std::to_string(frames) +
                    " frames) of the same signal" + (differing < 0 ? ": bit-identical" : ""));
    a.detach();
    b.detach();
    takeCensus(outcome);
}

} // namespace talven::validate
