#include "sdk/ParameterChangeTransfer.h"

#include "sdk/ParameterChanges.h"

namespace Steinberg {
namespace Vst {

ParameterChangeTransfer::ParameterChangeTransfer(int32 maxChanges)
{
    setMaxParameters(maxChanges);
}

void ParameterChangeTransfer::setMaxParameters(int32 maxChanges)
{
    changes_ = maxChanges > 0 ? std::make_unique<Change[]>(static_cast<size_t>(maxChanges)) : nullptr;
    size_ = maxChanges > 0 ? maxChanges : 0;
    readIndex_.store(0);
    writeIndex_.store(0);
}

void ParameterChangeTransfer::addChange(ParamID id, ParamValue value, int32 sampleOffset)
{
    if (!changes_)
        return;
    const int32 write = writeIndex_.load(std::memory_order_relaxed);
    changes_[static_cast<size_t>(write)] = Change{id, value, sampleOffset};
    const int32 next = write + 1 == size_ ? 0 : write + 1;
    // The slot at the read index may still be read: committing into it would
    // overwrite an unread change, so the change is dropped instead.
    if (next != readIndex_.load(std::memory_order_acquire))
        writeIndex_.store(next, std::memory_order_release);
}

bool ParameterChangeTransfer::getNextChange(ParamID& id, ParamValue& value, int32& sampleOffset)
{
    if (!changes_)
        return false;
    const int32 read = readIndex_.load(std::memory_order_relaxed);
    if (read == writeIndex_.load(std::memory_order_acquire))
        return false;
    const Change& change = changes_[static_cast<size_t>(read)];
    id = change.id;
    value = change.value;
    sampleOffset = change.sampleOffset;
    readIndex_.store(read + 1 == size_ ? 0 : read + 1, std::memory_order_release);
    return true;
}

void ParameterChangeTransfer::transferChangesTo(ParameterChanges& destination)
{
    ParamID id = 0;
    ParamValue value = 0;
    int32 sampleOffset = 0;
    while (getNextChange(id, value, sampleOffset)) {
        int32 index = 0;
        if (IParamValueQueue* queue = destination.addParameterData(id, index))
            queue->addPoint(sampleOffset, value, index);
    }
}

void ParameterChangeTransfer::removeChanges()
{
    readIndex_.store(writeIndex_.load(std::memory_order_acquire), std::memory_order_release);
}

} // namespace Vst
} // namespace Steinberg
