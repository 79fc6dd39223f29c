#include "presets/PresetFileAccess.h"

#include "presets/PresetFileName.h"
#include "presets/PresetStream.h"

#include "public.sdk/source/vst/vstpresetfile.h"

#include <string>

using namespace Steinberg;
using namespace Steinberg::Vst;
using Steinberg::Vst::InterAppAudio::PresetStream;

namespace talven {
namespace {

constexpr int64 kClassIdTextOffset = 8;
constexpr int32 kClassIdTextSize = 32;

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when the header holds its 32 class ID characters and one of them is no
// hexadecimal digit. The SDK would parse such a text into partly undefined
// bytes; a file like that must not match any plug-in, so it is refused
// before the SDK sees it. A shorter header is left to readChunkList.
bool hasMalformedClassId(IBStream& file)
{
    int64 at = -1;
    if (file.seek(kClassIdTextOffset, IBStream::kIBSeekSet, &at) != kResultOk || at != kClassIdTextOffset)
        return false;
    char text[kClassIdTextSize] = {};
    int32 got = 0;
    file.read(text, kClassIdTextSize, &got);
    if (got != kClassIdTextSize)
        return false;
    for (char c : text) {
        if (!isHexDigit(c))
            return true;
    }
    return false;
}

// The bytes of the "Info" chunk, read through a window like the plug-in's,
// so that an entry reaching outside the file gives only what exists.
PresetMetaInfo readMetaInfo(IBStream* source, const PresetFile& preset)
{
    PresetMetaInfo meta;
    const PresetFile::Entry* entry = preset.getEntry(kMetaInfo);
    if (!entry)
        return meta;
    meta.present = true;
    IPtr<PresetStream> chunk = owned(PresetStream::create(source, entry->offset, entry->size, nullptr));
    char piece[4096];
    for (;;) {
        int32 got = 0;
        if (chunk->read(piece, static_cast<int32>(sizeof piece), &got) != kResultOk || got <= 0)
            break;
        meta.bytes.append(piece, static_cast<std::size_t>(got));
    }
    return meta;
}

} // namespace

tresult applyPreset(IBStream* source, const char* fileName, const FUID& cid, IComponent* component,
                    IEditController* controller, const std::function<void()>& beforeApplying, PresetMetaInfo* meta)
{
    if (!source || !component || hasMalformedClassId(*source))
        return kResultFalse;
    source->seek(0, IBStream::kIBSeekSet, nullptr);
    PresetFile preset(source);
    if (!preset.readChunkList() || preset.getClassID() != cid)
        return kResultFalse;
    const PresetFile::Entry* componentEntry = preset.getEntry(kComponentState);
    if (!componentEntry)
        return kResultFalse;

    IPtr<PresetStream> chunk =
        owned(PresetStream::create(source, componentEntry->offset, componentEntry->size, fileName));
    if (beforeApplying)
        beforeApplying();
    const tresult result = component->setState(chunk);
    // A component that refused its state leaves the controller as it was:
    // the two would describe different settings.
    if (result != kResultOk && result != kNotImplemented)
        return result;
    if (meta)
        *meta = readMetaInfo(source, preset);
    if (!controller)
        return result;

    chunk->seek(0, IBStream::kIBSeekSet, nullptr);
    controller->setComponentState(chunk);
    if (const PresetFile::Entry* controllerEntry = preset.getEntry(kControllerState)) {
        chunk = owned(PresetStream::create(source, controllerEntry->offset, controllerEntry->size, fileName));
        controller->setState(chunk);
    }
    return result;
}

tresult applyPresetFile(const char* path, const FUID& cid, IComponent* component, IEditController* controller,
                        const std::function<void()>& beforeApplying, PresetMetaInfo* meta)
{
    if (!path || !component)
        return kResultFalse;
    IPtr<IBStream> file = owned(FileStream::open(path, "rb"));
    if (!file)
        return kResultFalse;
    const std::string name(presetFileName(path));
    return applyPreset(file, name.c_str(), cid, component, controller, beforeApplying, meta);
}

} // namespace talven
