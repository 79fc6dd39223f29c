#include "RestartState.h"

#include <algorithm>
#include <array>

namespace talven::testplugin::restart {
namespace {

constexpr int32_t kContextCapacity = 4096;

std::atomic<int32_t> latencyWanted{0};
std::atomic<int32_t> outputsWanted{2};
std::atomic<Steinberg::Vst::IComponentHandler*> handler{nullptr};
std::atomic<int64_t> nextThreadTag{1};
std::atomic<bool> ioRequested{false};
std::atomic<bool> levelOn{false};

// One queued request per place; 0: none.
std::atomic<int32_t> inProcess{0};
std::atomic<int32_t> inActivation{0};
std::atomic<int32_t> inEveryActivation{0};

// Appended by the audio thread only; entries below the count are complete.
std::array<TalvenRestartContext, kContextCapacity> contexts{};
std::atomic<int32_t> contextCount{0};

} // namespace

Counters& counters()
{
    static Counters all;
    return all;
}

std::atomic<int32_t>& nextLatency()
{
    return latencyWanted;
}

std::atomic<int32_t>& nextOutputChannels()
{
    return outputsWanted;
}

std::atomic<bool>& levelListed()
{
    return levelOn;
}

void publishHandler(Steinberg::Vst::IComponentHandler* published)
{
    handler = published;
}

void withdrawHandler(Steinberg::Vst::IComponentHandler* published)
{
    Steinberg::Vst::IComponentHandler* expected = published;
    handler.compare_exchange_strong(expected, nullptr);
}

int32_t requestRestart(int32_t flags)
{
    Steinberg::Vst::IComponentHandler* const target = handler.load();
    if (!target)
        return -1;
    if ((flags & Steinberg::Vst::kIoChanged) != 0)
        ioRequested = true;
    const int32_t result = target->restartComponent(flags);
    counters().lastResult = result;
    counters().requestThread = threadTag();
    ++counters().requestsMade;
    return result;
}

bool takeIoRequest()
{
    return ioRequested.exchange(false);
}

void queueRequest(int32_t flags, int32_t where)
{
    switch (where) {
    case TALVEN_RESTART_IN_PROCESS:
        inProcess = flags;
        break;
    case TALVEN_RESTART_IN_ACTIVATION:
        inActivation = flags;
        break;
    case TALVEN_RESTART_IN_EVERY_ACTIVATION:
        inEveryActivation = flags;
        break;
    default:
        break;
    }
}

void makeQueuedRequest(int32_t where)
{
    int32_t flags = 0;
    if (where == TALVEN_RESTART_IN_PROCESS)
        flags = inProcess.exchange(0);
    else if (where == TALVEN_RESTART_IN_ACTIVATION)
        flags = inActivation.exchange(0) | inEveryActivation.load();
    if (flags != 0)
        requestRestart(flags);
}

void recordContext(const TalvenRestartContext& context)
{
    const int32_t count = contextCount.load(std::memory_order_relaxed);
    if (count >= kContextCapacity)
        return;
    contexts[static_cast<size_t>(count)] = context;
    contextCount.store(count + 1, std::memory_order_release);
}

int32_t copyContexts(TalvenRestartContext* out, int32_t capacity)
{
    const int32_t count = contextCount.load(std::memory_order_acquire);
    if (out)
        std::copy_n(contexts.begin(), std::min(count, std::max(capacity, 0)), out);
    return count;
}

int64_t threadTag()
{
    thread_local const int64_t tag = nextThreadTag++;
    return tag;
}

void reset()
{
    Counters& all = counters();
    all.processCalls = 0;
    all.processedFrames = 0;
    all.setups = 0;
    all.activations = 0;
    all.deactivations = 0;
    all.processingOn = 0;
    all.processingOff = 0;
    all.violations = 0;
    all.requestsMade = 0;
    all.lastResult = 0;
    all.peakDeliveries = 0;
    all.lastDeliveredPeak = 0;
    all.peakThread = 0;
    all.viewThread = 0;
    all.activationThread = 0;
    all.requestThread = 0;
    all.terminations = 0;
    all.terminationThread = 0;
    latencyWanted = 0;
    outputsWanted = 2;
    ioRequested = false;
    levelOn = false;
    inProcess = 0;
    inActivation = 0;
    inEveryActivation = 0;
    contextCount = 0;
}

} // namespace talven::testplugin::restart
