#include "isolation/BlockExchange.h"

#include "isolation/RequestForecast.h"
#include "isolation/SharedRegion.h"
#include "isolation/WakeSignal.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <new>
#include <thread>

namespace talven {
namespace {

constexpr std::uint32_t kMagic = 0x54564232; // "TVB2"
// Set in both words when either side closes; sequences use the other 31 bits.
constexpr std::uint32_t kClosed = 0x80000000u;
constexpr std::uint32_t kMaxChannels = 64;
constexpr std::uint32_t kMaxFrames = 1u << 16;
// The audio starts on its own cache line, after the header.
constexpr std::size_t kAudioOffset = 64;

// How long the program's side watches for an answer before it sleeps.
constexpr std::chrono::microseconds kSpin{1000};

// On a single processor, a thread watching for the other side would only
// keep the thread it waits for from running (either may run at a raised or
// real-time priority).
bool watchingPays()
{
    static const bool pays = std::thread::hardware_concurrency() > 1;
    return pays;
}

inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

std::uint32_t nextSequence(std::uint32_t sequence)
{
    return sequence % (kClosed - 1) + 1;
}

// Sets the sequence bits of word, keeping a closed mark. False when closed.
bool publish(std::atomic<std::uint32_t>& word, std::uint32_t sequence)
{
    std::uint32_t seen = word.load(std::memory_order_relaxed);
    do {
        if (seen & kClosed)
            return false;
    } while (!word.compare_exchange_weak(seen, sequence, std::memory_order_seq_cst, std::memory_order_relaxed));
    return true;
}

// A side about to sleep on a word says so first, and the side that changed
// the word signals only a sleeper: a side that watches without sleeping
// does not pay a system call per block for nothing (under Wine, a round
// trip to its server on each side). Both in sequentially consistent order,
// so that the sleeper sees the new word or the other side sees the sleeper.
void sleepWhile(WakeSignal& signal, const std::atomic<std::uint32_t>& word, std::atomic<std::uint32_t>& sleeper,
                std::uint32_t seen, std::chrono::microseconds timeout)
{
    sleeper.store(1, std::memory_order_seq_cst);
    if (word.load(std::memory_order_seq_cst) == seen)
        signal.waitWhile(seen, timeout);
    sleeper.store(0, std::memory_order_relaxed);
}

void wakeSleeper(WakeSignal& signal, const std::atomic<std::uint32_t>& sleeper)
{
    if (sleeper.load(std::memory_order_seq_cst) != 0)
        signal.wake();
}

} // namespace

struct BlockExchange::Header {
    std::uint32_t magic;
    std::uint32_t channels;
    std::uint32_t maxFrames;
    std::uint32_t frames;                 // of the block asked for last, written before request
    std::atomic<std::uint32_t> request;   // program side -> plug-in's process
    std::atomic<std::uint32_t> answer;    // plug-in's process -> program side
    std::atomic<std::uint32_t> requestSleeper; // 1 while the plug-in's process sleeps on request
    std::atomic<std::uint32_t> answerSleeper;  // 1 while the program side sleeps on answer
};

BlockExchange::BlockExchange(std::unique_ptr<SharedRegion> region, std::unique_ptr<WakeSignal> requestSignal,
                             std::unique_ptr<WakeSignal> answerSignal)
    : region_(std::move(region)), requestSignal_(std::move(requestSignal)), answerSignal_(std::move(answerSignal))
{
}

BlockExchange::~BlockExchange() = default;

BlockExchange::Header& BlockExchange::header() const
{
    static_assert(sizeof(Header) <= kAudioOffset, "the header must fit before the audio");
    return *static_cast<Header*>(region_->data());
}

std::unique_ptr<BlockExchange> BlockExchange::create(std::uint32_t channels, std::uint32_t maxFrames)
{
    if (channels == 0 || channels > kMaxChannels || maxFrames == 0 || maxFrames > kMaxFrames)
        return nullptr;
    auto region = SharedRegion::create(kAudioOffset + std::size_t{channels} * maxFrames * sizeof(float));
    if (!region)
        return nullptr;
    // The memory comes zero-filled; the words start at sequence 0 (idle).
    auto* header = new (region->data()) Header{kMagic, channels, maxFrames, 0, {0}, {0}, {0}, {0}};
    auto requestSignal = WakeSignal::create(header->request);
    auto answerSignal = WakeSignal::create(header->answer);
    if (!requestSignal || !answerSignal)
        return nullptr;
    return std::unique_ptr<BlockExchange>(
        new BlockExchange(std::move(region), std::move(requestSignal), std::move(answerSignal)));
}

std::unique_ptr<BlockExchange> BlockExchange::open(const std::string& token)
{
    std::uint64_t regionHandle = 0, requestHandle = 0, answerHandle = 0;
    char trailing = 0;
    if (std::sscanf(token.c_str(), "%" SCNu64 ":%" SCNu64 ":%" SCNu64 "%c", &regionHandle, &requestHandle,
                    &answerHandle, &trailing)
        != 3)
        return nullptr;
    auto region = SharedRegion::open(regionHandle);
    if (!region || region->size() < kAudioOffset)
        return nullptr;
    // The creator wrote the header before starting this process.
    auto& header = *static_cast<Header*>(region->data());
    if (header.magic != kMagic || header.channels == 0 || header.channels > kMaxChannels || header.maxFrames == 0
        || header.maxFrames > kMaxFrames
        || region->size() < kAudioOffset + std::size_t{header.channels} * header.maxFrames * sizeof(float))
        return nullptr;
    auto requestSignal = WakeSignal::open(header.request, requestHandle);
    auto answerSignal = WakeSignal::open(header.answer, answerHandle);
    if (!requestSignal || !answerSignal)
        return nullptr;
    return std::unique_ptr<BlockExchange>(
        new BlockExchange(std::move(region), std::move(requestSignal), std::move(answerSignal)));
}

std::string BlockExchange::token() const
{
    char text[64];
    std::snprintf(text, sizeof text, "%" PRIu64 ":%" PRIu64 ":%" PRIu64, region_->handle(),
                  requestSignal_->handle(), answerSignal_->handle());
    return text;
}

int BlockExchange::inheritedHandles(std::uint64_t (&out)[kMaxInherited]) const
{
    int count = 0;
    for (std::uint64_t handle : {region_->handle(), requestSignal_->handle(), answerSignal_->handle()})
        if (handle != 0)
            out[count++] = handle;
    return count;
}

std::uint32_t BlockExchange::channels() const
{
    return header().channels;
}

std::uint32_t BlockExchange::maxFrames() const
{
    return header().maxFrames;
}

float* BlockExchange::channel(std::uint32_t index)
{
    const Header& h = header();
    if (index >= h.channels)
        return nullptr;
    auto* audio = reinterpret_cast<float*>(static_cast<char*>(region_->data()) + kAudioOffset);
    return audio + std::size_t{index} * h.maxFrames;
}

bool BlockExchange::idle() const
{
    return header().answer.load(std::memory_order_acquire) == sequence_;
}

BlockExchange::Result BlockExchange::process(std::uint32_t frames, std::chrono::microseconds bound)
{
    Header& h = header();
    const std::uint32_t answered = h.answer.load(std::memory_order_acquire);
    if (answered & kClosed)
        return Result::Closed;
    if (answered != sequence_ || frames == 0 || frames > h.maxFrames)
        return Result::Busy;
    h.frames = frames;
    const std::uint32_t sequence = nextSequence(sequence_);
    if (!publish(h.request, sequence))
        return Result::Closed;
    sequence_ = sequence;
    wakeSleeper(*requestSignal_, h.requestSleeper);
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + bound;
    // The answer is watched for without sleeping at first: a sleeping
    // thread's wake-up costs tens of microseconds (far more on a virtual
    // machine's idle processor), as much as a light plug-in's whole block.
    // At most half the bound, so that a late process costs half a block of
    // CPU time at worst; not at all on a single processor.
    const auto spinEnd = watchingPays() ? start + std::min(bound / 2, kSpin) : start;
    while (std::chrono::steady_clock::now() < spinEnd) {
        const std::uint32_t seen = h.answer.load(std::memory_order_acquire);
        if (seen == sequence)
            return Result::Answered;
        if (seen & kClosed)
            return Result::Closed;
        cpuRelax();
    }
    for (;;) {
        const std::uint32_t seen = h.answer.load(std::memory_order_acquire);
        if (seen & kClosed)
            return Result::Closed;
        if (seen == sequence)
            return Result::Answered;
        const auto remaining =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        if (remaining.count() <= 0)
            return Result::Late;
        sleepWhile(*answerSignal_, h.answer, h.answerSleeper, seen, remaining);
    }
}

std::int64_t BlockExchange::awaitRequest(std::chrono::microseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    Header& h = header();
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::uint32_t seen = h.request.load(std::memory_order_acquire);
        if (seen & kClosed)
            return -1;
        if (seen != sequence_) {
            sequence_ = seen;
            forecast_.arrived(Clock::now());
            // The program side is trusted no further than the capacity.
            return h.frames == 0 || h.frames > h.maxFrames ? std::int64_t{h.maxFrames} : std::int64_t{h.frames};
        }
        const auto now = Clock::now();
        if (now >= deadline)
            return 0;
        const auto window = watchingPays() ? forecast_.watch() : std::nullopt;
        if (window && now < window->until) {
            // A sleep too short for the system's timed wait is watched
            // through instead, as long as that is at most twice the window.
            const bool soon = window->from - now <= WakeSignal::shortestTimedWait()
                              && window->until - now <= 2 * (window->until - window->from);
            if (now < window->from && !soon) {
                const auto planned = std::min(window->from, deadline);
                sleepWhile(*requestSignal_, h.request, h.requestSleeper, seen,
                           std::chrono::ceil<std::chrono::microseconds>(planned - now));
                if (h.request.load(std::memory_order_acquire) == seen)
                    forecast_.woke(planned, Clock::now());
                continue;
            }
            // Due now, or soon: watched for without sleeping.
            const auto until = std::min(window->until, deadline);
            while (h.request.load(std::memory_order_acquire) == seen && Clock::now() < until)
                cpuRelax();
            if (h.request.load(std::memory_order_acquire) != seen)
                continue;
        }
        sleepWhile(*requestSignal_, h.request, h.requestSleeper, seen,
                   std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()));
    }
}

void BlockExchange::answer()
{
    Header& h = header();
    if (publish(h.answer, sequence_))
        wakeSleeper(*answerSignal_, h.answerSleeper);
}

void BlockExchange::close()
{
    Header& h = header();
    h.request.fetch_or(kClosed, std::memory_order_acq_rel);
    h.answer.fetch_or(kClosed, std::memory_order_acq_rel);
    requestSignal_->wake();
    answerSignal_->wake();
}

bool BlockExchange::closed() const
{
    return (header().answer.load(std::memory_order_acquire) & kClosed) != 0;
}

} // namespace talven
