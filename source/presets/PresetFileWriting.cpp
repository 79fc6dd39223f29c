#include "presets/PresetFileAccess.h"

#include "presets/ReplacementFile.h"

#include "public.sdk/source/vst/vstpresetfile.h"

namespace talven {

bool writePresetFile(const char* path, const Steinberg::FUID& cid, Steinberg::Vst::IComponent* component,
                     Steinberg::Vst::IEditController* controller)
{
    if (!path || !component)
        return false;
    // Writing the target in place would spoil the preset already there as
    // soon as one step failed.
    ReplacementFile file(path);
    if (!file.stream())
        return false;
    if (!Steinberg::Vst::PresetFile::savePreset(file.stream(), cid, component, controller))
        return false;
    return file.commit();
}

} // namespace talven
