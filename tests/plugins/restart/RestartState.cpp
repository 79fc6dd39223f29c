#include "RestartState.h"

#include "SharedFile.h"

#include <algorithm>
#include <chrono>

namespace talven::testplugin::restart {
namespace {

constexpr int32_t kContextCapacity = 4096;

// A request a test asked to be made at once, on its way between processes.
enum AskState : int32_t { kNoAsk = 0, kPosting, kAsked, kTaken, kAnswered };

// Everything but the handler, which is a pointer of one process.
struct Record {
    Counters all;
    std::atomic<int32_t> latencyWanted{0};
    std::atomic<int32_t> outputsWanted{2};
    // Shared too, so that tags stay distinct across processes.
    std::atomic<int64_t> nextThreadTag{1};
    std::atomic<int32_t> ioRequested{0};
    std::atomic<int32_t> levelOn{0};

    // One queued request per place; 0: none.
    std::atomic<int32_t> inProcess{0};
    std::atomic<int32_t> inActivation{0};
    std::atomic<int32_t> inEveryActivation{0};

    std::atomic<int32_t> askState{kNoAsk};
    std::atomic<int32_t> askFlags{0};
    std::atomic<int32_t> askResult{0};

    // Appended by the audio thread only; entries below the count are complete.
    std::atomic<int32_t> contextCount{0};
    TalvenRestartContext contexts[kContextCapacity]{};
};

static_assert(std::atomic<double>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

Record* sharedRecord()
{
    static const SharedFile file("RestartEffect.record", sizeof(SharedRecord<Record>));
    static Record* const shared = file.data() ? SharedRecord<Record>::adopt(file.data()) : nullptr;
    return shared;
}

Record& record()
{
    static Record own;
    static Record* const shared = sharedRecord();
    return shared ? *shared : own;
}

std::atomic<Steinberg::Vst::IComponentHandler*> handler{nullptr};

// A request asked of another process gets this long to be made.
constexpr auto kAskBound = std::chrono::seconds(20);

} // namespace

Counters& counters()
{
    return record().all;
}

std::atomic<int32_t>& nextLatency()
{
    return record().latencyWanted;
}

std::atomic<int32_t>& nextOutputChannels()
{
    return record().outputsWanted;
}

bool levelListed()
{
    return record().levelOn.load() != 0;
}

void listLevel(bool listed)
{
    record().levelOn = listed ? 1 : 0;
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
        record().ioRequested = 1;
    const int32_t result = target->restartComponent(flags);
    counters().lastResult = result;
    counters().requestThread = threadTag();
    ++counters().requestsMade;
    return result;
}

bool takeIoRequest()
{
    return record().ioRequested.exchange(0) != 0;
}

int32_t requestNow(int32_t flags)
{
    Record* const shared = sharedRecord();
    if (handler.load() || !shared)
        return requestRestart(flags);
    int32_t idle = kNoAsk;
    if (!shared->askState.compare_exchange_strong(idle, kPosting)) // another ask under way
        return -1;
    shared->askFlags = flags;
    // Published last: the watcher takes the flags only once it sees kAsked.
    shared->askState = kAsked;
    const auto deadline = std::chrono::steady_clock::now() + kAskBound;
    while (shared->askState.load() != kAnswered) {
        int32_t asked = kAsked;
        if (std::chrono::steady_clock::now() > deadline && shared->askState.compare_exchange_strong(asked, kNoAsk))
            return -1; // nobody took it
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const int32_t result = shared->askResult.load();
    shared->askState = kNoAsk;
    return result;
}

RequestWatcher::RequestWatcher()
{
    Record* const shared = sharedRecord();
    if (!shared)
        return;
    thread_ = std::thread([this, shared] {
        while (!stop_.load()) {
            int32_t asked = kAsked;
            if (handler.load() && shared->askState.compare_exchange_strong(asked, kTaken)) {
                shared->askResult = requestRestart(shared->askFlags.load());
                shared->askState = kAnswered;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

RequestWatcher::~RequestWatcher()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void queueRequest(int32_t flags, int32_t where)
{
    Record& state = record();
    switch (where) {
    case TALVEN_RESTART_IN_PROCESS:
        state.inProcess = flags;
        break;
    case TALVEN_RESTART_IN_ACTIVATION:
        state.inActivation = flags;
        break;
    case TALVEN_RESTART_IN_EVERY_ACTIVATION:
        state.inEveryActivation = flags;
        break;
    default:
        break;
    }
}

void makeQueuedRequest(int32_t where)
{
    Record& state = record();
    int32_t flags = 0;
    if (where == TALVEN_RESTART_IN_PROCESS)
        flags = state.inProcess.exchange(0);
    else if (where == TALVEN_RESTART_IN_ACTIVATION)
        flags = state.inActivation.exchange(0) | state.inEveryActivation.load();
    if (flags != 0)
        requestRestart(flags);
}

void recordContext(const TalvenRestartContext& context)
{
    Record& state = record();
    const int32_t count = state.contextCount.load(std::memory_order_relaxed);
    if (count >= kContextCapacity)
        return;
    state.contexts[count] = context;
    state.contextCount.store(count + 1, std::memory_order_release);
}

int32_t copyContexts(TalvenRestartContext* out, int32_t capacity)
{
    const Record& state = record();
    const int32_t count = state.contextCount.load(std::memory_order_acquire);
    if (out)
        std::copy_n(state.contexts, std::min(count, std::max(capacity, 0)), out);
    return count;
}

int64_t threadTag()
{
    thread_local const int64_t tag = record().nextThreadTag++;
    return tag;
}

void reset()
{
    Record& state = record();
    Counters& all = state.all;
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
    state.latencyWanted = 0;
    state.outputsWanted = 2;
    state.ioRequested = 0;
    state.levelOn = 0;
    state.inProcess = 0;
    state.inActivation = 0;
    state.inEveryActivation = 0;
    state.askState = kNoAsk;
    state.contextCount = 0;
}

} // namespace talven::testplugin::restart
