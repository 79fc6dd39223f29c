// Bypass: bypassed output equals the input byte for byte; switching bypass
// on and off before every one of 1,000 blocks keeps that true and leaves the
// plug-in processing at the end. A plug-in that reports a latency yet passes
// the signal unchanged and undelayed is flagged: it is not processing.
#include "Check.h"

#include "../Channel.h"
#include "../Instance.h"
#include "../Listener.h"
#include "../Random.h"
#include "../Signal.h"

#include "talven.h"

#include <string>
#include <vector>

namespace talven::validate {
namespace {

constexpr int kBypassedBlocks = 40;
constexpr int kToggledBlocks = 1000;
constexpr int kProcessedBlocks = 20;
constexpr std::uint32_t kMaxBlock = 10000;
constexpr std::uint32_t kMaxToggledBlock = 2048;

// Blocks with bypass on: each must equal its input.
void checkBypassed(std::uint32_t handle, Listener& listener, Random& random, Outcome& outcome)
{
    outcome.operation();
    if (TALVEN_SetBypass(handle, 1) != 1 || TALVEN_GetBypass(handle) != 1) {
        outcome.problem("the plug-in could not be bypassed");
        return;
    }
    for (int i = 0; i < kBypassedBlocks; ++i) {
        const std::uint32_t length = randomBlockLength(random, kMaxBlock);
        bool unchanged = false;
        outcome.operation();
        if (!listener.pull(length, unchanged))
            outcome.problem("BASS delivered less than asked");
        else if (!unchanged)
            outcome.problem("bypassed block " + std::to_string(i) + " of " + std::to_string(length) +
                            " frames differs from its input");
    }
}

// True when any of a few blocks comes out changed.
bool changesTheSignal(Listener& listener, Outcome& outcome)
{
    bool changed = false;
    for (int i = 0; i < kProcessedBlocks; ++i) {
        bool unchanged = true;
        outcome.operation();
        if (listener.pull(1024, unchanged) && !unchanged)
            changed = true;
    }
    return changed;
}

void toggle(std::uint32_t handle, Listener& listener, Random& random, Outcome& outcome)
{
    for (int i = 0; i < kToggledBlocks; ++i) {
        const std::int32_t request = i % 2 == 0 ? 1 : 0;
        outcome.operation(2);
        if (TALVEN_SetBypass(handle, request) != 1) {
            outcome.problem("switching bypass " + std::string(request ? "on" : "off") + " before block " +
                            std::to_string(i) + " failed");
            continue;
        }
        const auto length = static_cast<std::uint32_t>(random.between(1, kMaxToggledBlock));
        bool unchanged = false;
        if (!listener.pull(length, unchanged))
            outcome.problem("BASS delivered less than asked");
        else if (request && !unchanged)
            outcome.problem("block " + std::to_string(i) + ", bypassed while toggling, differs from its input");
    }
}

// The processor's latency in frames as the library reports it; 0 when it
// cannot tell.
std::int32_t latencyOf(std::uint32_t handle)
{
    TALVEN_INFO info{};
    info.size = sizeof info;
    return TALVEN_GetInfo(handle, &info) == 1 && info.latencySamples > 0 ? info.latencySamples : 0;
}

// What the summary adds about the processed signal.
std::string processedRemark(bool processes, std::int32_t latency)
{
    const std::string frames = std::to_string(latency) + " frame(s)";
    if (processes)
        return latency > 0 ? " (the plug-in reports " + frames + " of latency, which bypassed blocks do not have)" : "";
    if (latency > 0)
        return " (the output equals the input, undelayed, although the plug-in reports " + frames + " of latency)";
    return " (the plug-in passes this signal unchanged, so processing at the end shows only in the bypass state)";
}

} // namespace

void runBypassCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "bypass");
    Channel channel(random.next(), 2, 44100, false);
    Instance instance(channel.handle(), context.plugin);
    if (!channel.ok() || !instance.ok()) {
        outcome.problem("cannot attach");
        return;
    }
    Listener listener(channel);
    const std::uint32_t handle = instance.handle();
    const std::int32_t latency = latencyOf(handle);
    checkBypassed(handle, listener, random, outcome);
    outcome.operation();
    if (TALVEN_SetBypass(handle, 0) != 1 || TALVEN_GetBypass(handle) != 0)
        outcome.problem("the plug-in could not be switched back on");
    const bool processes = changesTheSignal(listener, outcome);
    if (!processes && latency > 0)
        outcome.flag("the plug-in reports " + std::to_string(latency) + " frame(s) of latency, yet its output equals " +
                     "its input, undelayed: it is not processing (a plug-in whose audio buses the host left " +
                     "inactive plays dry this way)");
    toggle(handle, listener, random, outcome);
    if (TALVEN_GetBypass(handle) != 0)
        outcome.problem("after toggling, the plug-in is still bypassed");
    // Only a hint: a dynamic processor (ZamDynamicEQ) changes a signal only
    // while it crosses its threshold, so a later stretch may pass unchanged
    // although the plug-in processes it.
    if (processes && !changesTheSignal(listener, outcome))
        outcome.flag("after toggling, the plug-in no longer changes the signal: it may have stopped processing, or "
                     "this stretch of the signal left it transparent");
    outcome.summary(std::to_string(kBypassedBlocks) + " bypassed blocks compared with their input, bypass switched " +
                    "before each of " + std::to_string(kToggledBlocks) + " blocks" +
                    processedRemark(processes, latency));
    instance.detach();
    takeCensus(outcome);
}

} // namespace talven::validate
