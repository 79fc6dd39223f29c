#include "presets/PresetFileAccess.h"

#include "presets/ReplacementFile.h"

#include "public.sdk/source/vst/vstpresetfile.h"

#include <cstdint>

namespace talven {

bool writePreset(Steinberg::IBStream* stream, const Steinberg::FUID& cid, Steinberg::Vst::IComponent* component,
                 Steinberg::Vst::IEditController* controller, const PresetMetaInfo& meta)
{
    if (!stream || !component)
        return false;
    if (meta.bytes.size() > static_cast<std::size_t>(INT32_MAX))
        return false;
    const char* info = meta.present ? meta.bytes.data() : nullptr;
    return Steinberg::Vst::PresetFile::savePreset(stream, cid, component, controller, info,
                                                  static_cast<Steinberg::int32>(meta.bytes.size()));
}

bool writePresetFile(const char* path, const Steinberg::FUID& cid, Steinberg::Vst::IComponent* component,
                     Steinberg::Vst::IEditController* controller, const PresetMetaInfo& meta)
{
    if (!path || !component)
        return false;
    // Writing the target in place would spoil the preset already there as
    // soon as one step failed.
    ReplacementFile file(path);
    if (!file.stream())
        return false;
    if (!writePreset(file.stream(), cid, component, controller, meta))
        return false;
    return file.commit();
}

} // namespace talven
