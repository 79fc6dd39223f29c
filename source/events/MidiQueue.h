#pragma once

#include "events/MidiMessage.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace talven {

// A message waiting for its block, as the queue keeps it.
struct QueuedMidi {
    // The frame of the stream it takes effect at; 0 for "the next block".
    std::uint64_t frame = 0;
    // Order of sending, which breaks ties between equal frames.
    std::uint64_t sequence = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint32_t size = 0;       // system exclusive bytes
    std::uint64_t byteStart = 0;  // where they start in the byte ring
    std::uint64_t bytesEnd = 0;   // the byte ring's end once this was sent
};

// The MIDI messages sent to one plug-in, from any thread, to the audio thread
// that delivers them. Capacity is fixed when the queue is made: kEvents
// messages in flight and kSysexBytes bytes of system exclusive. Senders take
// turns by a lock of their own, which the audio thread never takes: it reads
// the sent messages through two atomic positions, moves them into a schedule
// ordered by frame, and hands out those that are due.
class MidiQueue {
public:
    static constexpr std::uint32_t kEvents = 4096;
    static constexpr std::uint32_t kSysexBytes = 64 * 1024;

    // May throw std::bad_alloc.
    MidiQueue();

    // ---- any thread
    // Queues messages in order while they fit; returns how many. timed: each
    // takes effect at frames[i] (else at the next block's start).
    std::int32_t send(const MidiMessage* messages, std::int32_t count, const std::uint64_t* frames);

    // ---- audio thread
    // Moves what was sent into the schedule, as far as it has room.
    void collect();
    // Calls each(message, frame) for every scheduled message due before
    // frame `end`, in order of frame then sending, and drops them from the
    // schedule. At most `limit` are handed out; the rest wait.
    template <typename Each>
    void takeDue(std::uint64_t end, std::int32_t limit, Each each);
    // The frame of the first scheduled message due after frame `first`, or
    // UINT64_MAX for none.
    std::uint64_t firstFrameAfter(std::uint64_t first) const;
    // Gives back the system exclusive bytes no scheduled message needs any
    // more; after the process call that read them.
    void releaseDelivered();
    // Drops everything scheduled and sent so far.
    void discard();
    std::int32_t scheduled() const { return scheduledCount_; }

private:
    bool placeSysex(std::uint32_t size, std::uint64_t& start);
    void schedule(const QueuedMidi& queued);

    // Sending side.
    std::mutex senders_;
    std::uint64_t sequence_ = 0;
    std::uint64_t bytesWritten_ = 0;
    std::unique_ptr<QueuedMidi[]> ring_;
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
    std::atomic<std::uint64_t> bytesReleased_{0};

    // Audio side: the schedule, sorted by (frame, sequence).
    std::unique_ptr<QueuedMidi[]> schedule_;
    std::int32_t scheduledCount_ = 0;
    std::int32_t scheduledSysex_ = 0;
    std::uint64_t collectedBytesEnd_ = 0;
};

template <typename Each>
void MidiQueue::takeDue(std::uint64_t end, std::int32_t limit, Each each)
{
    std::int32_t taken = 0;
    while (taken < scheduledCount_ && taken < limit && schedule_[static_cast<std::size_t>(taken)].frame < end) {
        const QueuedMidi& queued = schedule_[static_cast<std::size_t>(taken)];
        MidiMessage message;
        message.status = queued.status;
        message.data1 = queued.data1;
        message.data2 = queued.data2;
        if (queued.size > 0) {
            message.bytes = bytes_.get() + queued.byteStart % kSysexBytes;
            message.size = queued.size;
            --scheduledSysex_;
        }
        each(message, queued.frame);
        ++taken;
    }
    if (taken == 0)
        return;
    for (std::int32_t i = taken; i < scheduledCount_; ++i)
        schedule_[static_cast<std::size_t>(i - taken)] = schedule_[static_cast<std::size_t>(i)];
    scheduledCount_ -= taken;
}

} // namespace talven
