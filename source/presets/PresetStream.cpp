#include "presets/PresetStream.h"

#include "presets/PresetFileName.h"

#include <algorithm>
#include <limits>

namespace Steinberg {
namespace Vst {
namespace InterAppAudio {

PresetStream* PresetStream::create(IBStream* source, TSize offset, TSize size, const char* fileName)
{
    return new PresetStream(source, offset, size, fileName);
}

PresetStream::PresetStream(IBStream* source, TSize offset, TSize size, const char* fileName)
    : ReadOnlyBStream(source, offset, size)
{
    // The chunk list is not checked when it is read: keep every later sum of
    // offset and position representable.
    if (offset < 0 || size < 0) {
        sourceOffset = 0;
        sectionSize = 0;
    } else {
        sectionSize = std::min(size, std::numeric_limits<TSize>::max() - offset);
    }
    if (fileName && *fileName)
        name = talven::fileNameToUtf16(fileName);
}

// --------------------------------------------------------------- FUnknown

tresult PLUGIN_API PresetStream::queryInterface(const TUID iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    // Every stream interface answers with this window itself. Handing out the
    // file stream behind it would let the plug-in read the whole file from
    // wherever it was last left.
    if (FUnknownPrivate::iidEqual(iid, IStreamAttributes::iid)) {
        addRef();
        *obj = static_cast<IStreamAttributes*>(this);
        return kResultOk;
    }
    if (FUnknownPrivate::iidEqual(iid, IBStream::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        addRef();
        *obj = static_cast<IBStream*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API PresetStream::addRef()
{
    return references.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 PLUGIN_API PresetStream::release()
{
    const uint32 left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        __funknownRefCount = 0; // the base's unused count, for its destructor's check
        delete this;
    }
    return left;
}

// --------------------------------------------------------------- IBStream

tresult PLUGIN_API PresetStream::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
    if (numBytesRead)
        *numBytesRead = 0;
    if (!sourceStream)
        return kNotInitialized;
    const TSize left = sectionSize - seekPosition;
    const int32 wanted = static_cast<int32>(std::min<TSize>(numBytes, left));
    if (wanted <= 0)
        return kResultOk;
    if (!buffer)
        return kInvalidArgument;

    // FileStream seeks with a 32-bit offset: only a seek that arrives where it
    // was sent makes the bytes after it part of this chunk.
    const TSize at = sourceOffset + seekPosition;
    int64 reached = -1;
    if (sourceStream->seek(at, kIBSeekSet, &reached) != kResultOk || reached != at)
        return kResultFalse;
    int32 got = 0;
    const tresult result = sourceStream->read(buffer, wanted, &got);
    got = std::clamp(got, 0, wanted);
    seekPosition += got;
    if (numBytesRead)
        *numBytesRead = got;
    return result;
}

tresult PLUGIN_API PresetStream::seek(int64 pos, int32 mode, int64* result)
{
    TSize base = 0;
    switch (mode) {
    case kIBSeekSet:
        base = 0;
        break;
    case kIBSeekCur:
        base = seekPosition;
        break;
    case kIBSeekEnd:
        base = sectionSize;
        break;
    default:
        return kInvalidArgument;
    }
    // base + pos, clamped into 0..sectionSize without overflowing.
    if (pos < -base)
        seekPosition = 0;
    else if (pos > sectionSize - base)
        seekPosition = sectionSize;
    else
        seekPosition = base + pos;
    if (result)
        *result = seekPosition;
    return kResultOk;
}

// ------------------------------------------------------ IStreamAttributes

tresult PLUGIN_API PresetStream::getFileName(String128 buffer)
{
    if (name.empty())
        return kResultFalse;
    if (!buffer)
        return kInvalidArgument;
    size_t count = std::min<size_t>(name.size(), 127);
    // A pair cut in half would leave the plug-in an unpaired surrogate.
    if (count < name.size() && name[count - 1] >= 0xD800 && name[count - 1] <= 0xDBFF)
        --count;
    std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(count), buffer);
    buffer[count] = 0;
    return kResultOk;
}

IAttributeList* PLUGIN_API PresetStream::getAttributes()
{
    return nullptr;
}

} // namespace InterAppAudio
} // namespace Vst
} // namespace Steinberg
