#include "events/MidiQueue.h"

#include <algorithm>
#include <cstring>

namespace talven {

MidiQueue::MidiQueue()
    : ring_(new QueuedMidi[kEvents]), bytes_(new std::uint8_t[kSysexBytes]), schedule_(new QueuedMidi[kEvents])
{
}

// A run of system exclusive bytes lies in one piece of the byte ring: one
// that would wrap starts at the ring's beginning, the end left unused.
bool MidiQueue::placeSysex(std::uint32_t size, std::uint64_t& start)
{
    const std::uint64_t released = bytesReleased_.load(std::memory_order_acquire);
    const std::uint64_t offset = bytesWritten_ % kSysexBytes;
    const std::uint64_t pad = offset + size > kSysexBytes ? kSysexBytes - offset : 0;
    if (bytesWritten_ + pad + size - released > kSysexBytes)
        return false;
    start = bytesWritten_ + pad;
    return true;
}

std::int32_t MidiQueue::send(const MidiMessage* messages, std::int32_t count, const std::uint64_t* frames)
{
    const std::lock_guard<std::mutex> turn(senders_);
    const std::uint64_t written = written_.load(std::memory_order_relaxed);
    const std::uint64_t read = read_.load(std::memory_order_acquire);
    std::uint64_t at = written;
    std::int32_t taken = 0;
    for (; taken < count && at - read < kEvents; ++taken) {
        const MidiMessage& message = messages[taken];
        QueuedMidi& slot = ring_[static_cast<std::size_t>(at % kEvents)];
        slot.size = 0;
        slot.byteStart = bytesWritten_;
        if (message.status == 0xF0) {
            std::uint64_t start = 0;
            if (message.size == 0 || message.size > kSysexBytes || !placeSysex(message.size, start))
                break;
            std::memcpy(bytes_.get() + start % kSysexBytes, message.bytes, message.size);
            slot.size = message.size;
            slot.byteStart = start;
            bytesWritten_ = start + message.size;
        }
        slot.frame = frames ? frames[taken] : 0;
        slot.sequence = sequence_++;
        slot.status = message.status;
        slot.data1 = message.data1;
        slot.data2 = message.data2;
        slot.bytesEnd = bytesWritten_;
        ++at;
    }
    written_.store(at, std::memory_order_release);
    return taken;
}

void MidiQueue::schedule(const QueuedMidi& queued)
{
    // Messages mostly come in order: the place is found from the back.
    std::int32_t place = scheduledCount_;
    while (place > 0) {
        const QueuedMidi& before = schedule_[static_cast<std::size_t>(place - 1)];
        if (before.frame < queued.frame || (before.frame == queued.frame && before.sequence < queued.sequence))
            break;
        schedule_[static_cast<std::size_t>(place)] = before;
        --place;
    }
    schedule_[static_cast<std::size_t>(place)] = queued;
    ++scheduledCount_;
    if (queued.size > 0)
        ++scheduledSysex_;
}

void MidiQueue::collect()
{
    const std::uint64_t written = written_.load(std::memory_order_acquire);
    std::uint64_t read = read_.load(std::memory_order_relaxed);
    if (read == written)
        return;
    for (; read < written && scheduledCount_ < static_cast<std::int32_t>(kEvents); ++read) {
        const QueuedMidi& queued = ring_[static_cast<std::size_t>(read % kEvents)];
        schedule(queued);
        collectedBytesEnd_ = queued.bytesEnd;
    }
    read_.store(read, std::memory_order_release);
}

std::uint64_t MidiQueue::firstFrameAfter(std::uint64_t first) const
{
    for (std::int32_t i = 0; i < scheduledCount_; ++i) {
        const std::uint64_t frame = schedule_[static_cast<std::size_t>(i)].frame;
        if (frame > first)
            return frame;
    }
    return UINT64_MAX;
}

void MidiQueue::releaseDelivered()
{
    std::uint64_t keepFrom = collectedBytesEnd_;
    if (scheduledSysex_ > 0) {
        for (std::int32_t i = 0; i < scheduledCount_; ++i) {
            const QueuedMidi& queued = schedule_[static_cast<std::size_t>(i)];
            if (queued.size > 0)
                keepFrom = std::min(keepFrom, queued.byteStart);
        }
    }
    if (keepFrom > bytesReleased_.load(std::memory_order_relaxed))
        bytesReleased_.store(keepFrom, std::memory_order_release);
}

void MidiQueue::discard()
{
    collect();
    scheduledCount_ = 0;
    scheduledSysex_ = 0;
    releaseDelivered();
}

} // namespace talven
