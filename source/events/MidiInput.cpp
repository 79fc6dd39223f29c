#include "events/MidiInput.h"

#include "sdk/EventList.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {
// Room an All Notes Off may need for the note offs of one channel.
constexpr int32 kNoteOffRoom = 128;
} // namespace

MidiInput::MidiInput() : translator_(mapping_, kEventsPerCall), events_(owned(new EventList(kEventsPerCall + kNoteOffRoom))) {}

MidiInput::~MidiInput() = default;

IEventList* MidiInput::events()
{
    return events_.get();
}

int32 MidiInput::pieceLength(std::uint64_t first, int32 count)
{
    queue_.collect();
    const std::uint64_t next = queue_.firstFrameAfter(first);
    const std::uint64_t end = first + static_cast<std::uint64_t>(count);
    return next < end ? static_cast<int32>(next - first) : count;
}

void MidiInput::deliver(std::uint64_t first, int32 count, IParameterChanges& changes)
{
    queue_.collect();
    if (queue_.scheduled() == 0)
        return;
    const std::uint64_t end = first + static_cast<std::uint64_t>(count);
    const int32 limit = events_->room() - kNoteOffRoom;
    queue_.takeDue(end, limit, [&](const MidiMessage& message, std::uint64_t frame) {
        const int32 offset = frame > first ? static_cast<int32>(frame - first) : 0;
        translator_.translate(message, offset, *events_, changes);
    });
}

void MidiInput::finishCall()
{
    events_->clear();
    translator_.clearChanges();
    queue_.releaseDelivered();
}

} // namespace talven
