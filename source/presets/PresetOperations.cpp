#include "presets/PresetOperations.h"

#include "presets/PresetManager.h"
#include "registry/RecordHold.h"

#include <cstring>

using Steinberg::Vst::InterAppAudio::PresetManager;

namespace talven {
namespace {

// Recalled paths are copied into a buffer of this size. A longer one is
// refused: cut short it could name some other file.
constexpr std::size_t kRecallPathCapacity = 1024;

} // namespace

bool storePresetFor(std::uint32_t handle, const char* path)
{
    if (handle == 0 || !path)
        return false;
    RecordHold hold(handle);
    if (!hold.get())
        return false;
    PresetManager manager(*hold.get());
    return manager.hasPlugin() && manager.storePreset(path);
}

bool recallPresetFor(std::uint32_t handle, const char* path)
{
    if (handle == 0 || !path)
        return false;
    char buffer[kRecallPathCapacity] = {};
    const std::size_t length = strnlen(path, kRecallPathCapacity);
    if (length == kRecallPathCapacity)
        return false;
    std::memcpy(buffer, path, length);

    RecordHold hold(handle);
    if (!hold.get())
        return false;
    PresetManager manager(*hold.get());
    if (!manager.hasPlugin())
        return false;
    const Steinberg::tresult result = manager.loadPreset(buffer);
    return result == Steinberg::kResultOk || result == Steinberg::kNotImplemented;
}

} // namespace talven
