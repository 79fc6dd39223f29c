// Load: attach to mono, stereo and 6-channel channels at three rates, and
// detach again both ways a program does it; every pair leaves the handles
// and the engine's callbacks as they were.
#include "Check.h"

#include "../Census.h"
#include "../Channel.h"
#include "../Instance.h"
#include "../Random.h"
#include "../Signal.h"

#include <string>
#include <vector>

namespace talven::validate {
namespace {

const std::uint32_t kChannelCounts[] = {1, 2, 6};
const std::uint32_t kRates[] = {44100, 48000, 96000};

std::string where(std::uint32_t channels, std::uint32_t rate)
{
    return std::to_string(channels) + " channel(s) at " + std::to_string(rate) + " Hz";
}

// One attach/detach pair; true when the plug-in attached.
bool attachAndDetach(const CheckContext& context, Random& random, std::uint32_t channels, std::uint32_t rate,
                     bool byFreeingTheChannel, Outcome& outcome)
{
    const std::string place = where(channels, rate);
    const std::string how = byFreeingTheChannel ? " (detached by freeing the channel)" : "";
    const std::int64_t handlesBefore = liveHandleCount();
    const std::int64_t callbacksBefore = callbackCount();
    Channel channel(random.next(), channels, rate, false);
    if (!channel.ok()) {
        outcome.problem("BASS could not make a stream of " + place);
        return false;
    }
    Instance instance(channel.handle(), context.plugin);
    outcome.operation();
    if (!instance.ok()) {
        outcome.problem("attach failed on " + place);
        return false;
    }
    if (callbackCount() <= callbacksBefore)
        outcome.problem("attached on " + place + " without setting a DSP on the channel");
    std::vector<float> block;
    if (!channel.pull(randomBlockLength(random, 4096), block))
        outcome.problem("no audio came through on " + place);
    if (byFreeingTheChannel) {
        instance.forget();
        if (!channel.free(true))
            outcome.problem("TALVEN_ChannelFree failed on " + place);
    } else if (!instance.detach()) {
        outcome.problem("TALVEN_ChannelRemoveDSP refused the handle on " + place);
    }
    const std::int64_t handlesAfter = liveHandleCount();
    const std::int64_t callbacksAfter = callbackCount();
    if (handlesAfter != handlesBefore)
        outcome.problem("attach/detach on " + place + how + " changed the live handles from " +
                        std::to_string(handlesBefore) + " to " + std::to_string(handlesAfter));
    if (callbacksAfter != callbacksBefore)
        outcome.problem("attach/detach on " + place + how + " changed the engine's DSPs and syncs from " +
                        std::to_string(callbacksBefore) + " to " + std::to_string(callbacksAfter));
    return true;
}

} // namespace

void runLoadCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "load");
    int attached = 0;
    for (const std::uint32_t channels : kChannelCounts) {
        for (const std::uint32_t rate : kRates) {
            for (const bool byFree : {false, true}) {
                if (attachAndDetach(context, random, channels, rate, byFree, outcome))
                    ++attached;
            }
        }
    }
    if (attached == 0)
        outcome.unusable();
    outcome.summary(std::to_string(outcome.operations()) +
                    " attach/detach pairs on 1, 2 and 6 channels at 44.1, 48 and 96 kHz, half of them detached "
                    "by freeing the channel; " +
                    std::to_string(attached) + " attached");
    takeCensus(outcome);
}

} // namespace talven::validate
