// Blocks: random block lengths from 1 to 10,000 frames, primes and the
// edges of the library's 4096-frame pieces included, must give finite
// output for finite input; afterwards silence in must give silence out once
// the tail has died away (a plug-in that makes sound from silence is
// flagged). A plug-in that relies on the announced maximum block and got a
// longer one shows here as a crash or non-finite output.
#include "Check.h"

#include "../Channel.h"
#include "../Instance.h"
#include "../Random.h"
#include "../Signal.h"
#include "../Text.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace talven::validate {
namespace {

struct Shape {
    std::uint32_t channels;
    std::uint32_t rate;
};
const Shape kShapes[] = {{2, 44100}, {6, 96000}, {1, 48000}};

constexpr int kRandomBlocks = 100;
constexpr std::uint32_t kMaxBlock = 10000;
// Silence: 100 ms windows; quiet once a whole second stays below -120 dBFS,
// given up (flagged) after kTailLimitSeconds.
constexpr double kQuietPeak = 1e-6;
constexpr int kQuietWindows = 10;
constexpr int kTailLimitSeconds = 20;

std::string where(const Shape& shape)
{
    return std::to_string(shape.channels) + " channel(s) at " + std::to_string(shape.rate) + " Hz";
}

void checkFinite(const std::vector<float>& block, std::uint32_t channels, const std::string& what, Outcome& outcome)
{
    const std::size_t bad = firstNonFinite(block.data(), block.size());
    if (bad == block.size())
        return;
    outcome.problem(what + ": sample " + std::to_string(bad / channels) + " of channel " +
                    std::to_string(bad % channels) + " is " + (std::isnan(block[bad]) ? "NaN" : "infinite"));
}

// Feeds the signal in blocks of every kind; returns the frames pulled.
std::uint64_t feedBlocks(Channel& channel, Random& random, const Shape& shape, Outcome& outcome)
{
    std::vector<std::uint32_t> lengths(kEdgeBlockLengths, kEdgeBlockLengths + kEdgeBlockLengthCount);
    for (int i = 0; i < kRandomBlocks; ++i)
        lengths.push_back(randomBlockLength(random, kMaxBlock));
    std::uint64_t frames = 0;
    std::vector<float> block;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const std::string what = "block " + std::to_string(i) + " of " + std::to_string(lengths[i]) +
                                 " frames on " + where(shape);
        outcome.operation();
        if (!channel.pull(lengths[i], block)) {
            outcome.problem(what + ": BASS delivered less than asked");
            continue;
        }
        frames += lengths[i];
        checkFinite(block, shape.channels, what, outcome);
    }
    return frames;
}

// Feeds silence until a second of it comes out below -120 dBFS; flags the
// plug-in when it never does.
void feedSilence(Channel& channel, const Shape& shape, Outcome& outcome)
{
    channel.source().silent = true;
    const std::uint32_t window = shape.rate / 10;
    std::vector<float> block;
    int quiet = 0;
    double lastPeak = 0;
    const int limit = kTailLimitSeconds * 10;
    for (int i = 0; i < limit && quiet < kQuietWindows; ++i) {
        outcome.operation();
        if (!channel.pull(window, block)) {
            outcome.problem("silence on " + where(shape) + ": BASS delivered less than asked");
            return;
        }
        checkFinite(block, shape.channels, "silence window " + std::to_string(i) + " on " + where(shape), outcome);
        lastPeak = peakOf(block.data(), block.size());
        quiet = lastPeak <= kQuietPeak ? quiet + 1 : 0;
    }
    if (quiet < kQuietWindows)
        outcome.flag("sound from silence on " + where(shape) + ": peak " + dbfs(toDbfs(lastPeak)) + " after " +
                     std::to_string(kTailLimitSeconds) + " s of silence in");
}

} // namespace

void runBlocksCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "blocks");
    std::uint64_t frames = 0;
    bool first = true;
    std::vector<std::unique_ptr<Channel>> channels; // kept for the census
    for (const Shape& shape : kShapes) {
        channels.push_back(std::make_unique<Channel>(random.next(), shape.channels, shape.rate, false));
        Channel& channel = *channels.back();
        Instance instance(channel.handle(), context.plugin);
        if (!channel.ok() || !instance.ok()) {
            outcome.problem("cannot attach on " + where(shape));
            continue;
        }
        frames += feedBlocks(channel, random, shape, outcome);
        // The tail once, on the first shape: it belongs to the plug-in, not the channel.
        if (first)
            feedSilence(channel, shape, outcome);
        first = false;
    }
    outcome.summary(std::to_string(outcome.operations()) + " blocks of 1 to " + std::to_string(kMaxBlock) +
                    " frames (" + std::to_string(frames) + " frames of signal) on 1, 2 and 6 channels, then silence");
    takeCensus(outcome);
}

} // namespace talven::validate
