#include "presets/PresetMemory.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

using namespace Steinberg;

namespace talven {

PresetMemory* PresetMemory::create(std::vector<char> bytes)
{
    return new PresetMemory(std::move(bytes));
}

tresult PLUGIN_API PresetMemory::queryInterface(const TUID iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, IBStream::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        addRef();
        *obj = static_cast<IBStream*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API PresetMemory::addRef()
{
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 PLUGIN_API PresetMemory::release()
{
    const uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

tresult PLUGIN_API PresetMemory::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
    if (numBytesRead)
        *numBytesRead = 0;
    const int64 size = static_cast<int64>(bytes_.size());
    const int64 wanted = std::min<int64>(std::max<int32>(numBytes, 0), std::max<int64>(size - cursor_, 0));
    if (wanted == 0)
        return kResultOk;
    if (!buffer)
        return kInvalidArgument;
    std::memcpy(buffer, bytes_.data() + cursor_, static_cast<std::size_t>(wanted));
    cursor_ += wanted;
    if (numBytesRead)
        *numBytesRead = static_cast<int32>(wanted);
    return kResultOk;
}

tresult PLUGIN_API PresetMemory::write(void* buffer, int32 numBytes, int32* numBytesWritten)
{
    if (numBytesWritten)
        *numBytesWritten = 0;
    if (numBytes < 0 || (numBytes > 0 && !buffer))
        return kInvalidArgument;
    if (cursor_ + numBytes > kMaxSize)
        return kOutOfMemory;
    const std::size_t end = static_cast<std::size_t>(cursor_ + numBytes);
    // Called by the plug-in: nothing may be thrown back into it.
    try {
        if (end > bytes_.size())
            bytes_.resize(end);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    if (numBytes > 0)
        std::memcpy(bytes_.data() + cursor_, buffer, static_cast<std::size_t>(numBytes));
    cursor_ += numBytes;
    if (numBytesWritten)
        *numBytesWritten = numBytes;
    return kResultOk;
}

tresult PLUGIN_API PresetMemory::seek(int64 pos, int32 mode, int64* result)
{
    int64 base = 0;
    switch (mode) {
    case kIBSeekSet:
        base = 0;
        break;
    case kIBSeekCur:
        base = cursor_;
        break;
    case kIBSeekEnd:
        base = static_cast<int64>(bytes_.size());
        break;
    default:
        return kInvalidArgument;
    }
    // base is at most kMaxSize: the sum cannot overflow once pos is bounded.
    if (pos < -base || pos > kMaxSize - base) {
        if (result)
            *result = cursor_;
        return kResultFalse;
    }
    cursor_ = base + pos;
    if (result)
        *result = cursor_;
    return kResultOk;
}

tresult PLUGIN_API PresetMemory::tell(int64* pos)
{
    if (!pos)
        return kInvalidArgument;
    *pos = cursor_;
    return kResultOk;
}

} // namespace talven
