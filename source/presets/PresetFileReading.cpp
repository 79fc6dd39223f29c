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

} // namespace

tresult applyPresetFile(const char* path, const FUID& cid, IComponent* component, IEditController* controller,
                        const std::function<void()>& beforeApplying)
{
    if (!path || !component)
        return kResultFalse;
    IPtr<IBStream> file = owned(FileStream::open(path, "rb"));
    if (!file || hasMalformedClassId(*file))
        return kResultFalse;
    PresetFile preset(file);
    if (!preset.readChunkList() || preset.getClassID() != cid)
        return kResultFalse;
    const PresetFile::Entry* componentEntry = preset.getEntry(kComponentState);
    if (!componentEntry)
        return kResultFalse;

    const std::string name(presetFileName(path));
    IPtr<PresetStream> chunk =
        owned(PresetStream::create(file, componentEntry->offset, componentEntry->size, name.c_str()));
    if (beforeApplying)
        beforeApplying();
    const tresult result = component->setState(chunk);
    // A component that refused its state leaves the controller as it was:
    // the two would describe different settings.
    if ((result != kResultOk && result != kNotImplemented) || !controller)
        return result;

    chunk->seek(0, IBStream::kIBSeekSet, nullptr);
    controller->setComponentState(chunk);
    if (const PresetFile::Entry* controllerEntry = preset.getEntry(kControllerState)) {
        chunk = owned(PresetStream::create(file, controllerEntry->offset, controllerEntry->size, name.c_str()));
        controller->setState(chunk);
    }
    return result;
}

} // namespace talven
