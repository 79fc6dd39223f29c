#pragma once

#include "isolation/RequestForecast.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace talven {

class SharedRegion;
class WakeSignal;

// One block of audio handed between the program's audio thread and the
// process that runs an isolated plug-in: planar float channels in shared
// memory and two sequence words, one each way, each with its wake-up.
//
// The program side makes the exchange and passes token() to the plug-in's
// process on its command line; that process opens it with the token. The
// capacity (channels x maxFrames) is fixed when it is made: nothing on the
// block path allocates.
//
// Either side may close it (the plug-in's process ended, the attachment
// goes): every wait on either side returns at once from then on.
class BlockExchange {
public:
    enum class Result {
        Answered, // the plug-in's output is in the channels
        Late,     // not answered within the bound; the channels are not ours until it is
        Busy,     // a late block is still being worked on: not handed over, no wait
        Closed,   // the other side has gone, or close() was called
    };

    ~BlockExchange();
    BlockExchange(const BlockExchange&) = delete;
    BlockExchange& operator=(const BlockExchange&) = delete;

    // Program side. Null when the shared memory or its signals cannot be
    // made, or the capacity is 0 or too large.
    static std::unique_ptr<BlockExchange> create(std::uint32_t channels, std::uint32_t maxFrames);
    // Plug-in's process side, from the text token() gave. Null for a token
    // that does not name an exchange this process inherited.
    static std::unique_ptr<BlockExchange> open(const std::string& token);

    // What the other process needs to open the exchange; the handles or
    // descriptors it names must be inherited by that process (see
    // inheritedHandles()).
    std::string token() const;

    std::uint32_t channels() const;
    std::uint32_t maxFrames() const;
    // One channel's samples, maxFrames of them. The program side writes the
    // input here and reads the output back after Answered; the plug-in's
    // process works in place between a request and its answer.
    float* channel(std::uint32_t index);

    // Program side, on the audio thread. Hands frames (1..maxFrames) over
    // and waits at most bound for the answer. Busy, without waiting and
    // without touching the channels, while an earlier Late block is still
    // outstanding (the caller should not write the channels then either:
    // idle() tells beforehand) or when frames is out of range.
    Result process(std::uint32_t frames, std::chrono::microseconds bound);
    // Whether the channels are the program side's to write: no block is
    // outstanding and the exchange is open.
    bool idle() const;

    // Plug-in's process side. Waits at most timeout for the next block;
    // returns its frame count, 0 on timeout, -1 once closed.
    std::int64_t awaitRequest(std::chrono::microseconds timeout);
    // The block asked for last is done: its output is in the channels.
    void answer();

    // Either side, any thread: every wait returns, on both sides.
    void close();
    bool closed() const;

    // The handles (Windows) or descriptors (POSIX) the plug-in's process
    // must inherit, as numbers: up to kMaxInherited of them; returns how many.
    static constexpr int kMaxInherited = 3;
    int inheritedHandles(std::uint64_t (&out)[kMaxInherited]) const;

private:
    struct Header;
    BlockExchange(std::unique_ptr<SharedRegion> region, std::unique_ptr<WakeSignal> requestSignal,
                  std::unique_ptr<WakeSignal> answerSignal);
    Header& header() const;

    std::unique_ptr<SharedRegion> region_;
    std::unique_ptr<WakeSignal> requestSignal_;
    std::unique_ptr<WakeSignal> answerSignal_;
    // Program side: the last block handed over; plug-in's side: the last taken.
    std::uint32_t sequence_ = 0;
    // Plug-in's process side: when the next block is due.
    RequestForecast forecast_;
};

} // namespace talven
