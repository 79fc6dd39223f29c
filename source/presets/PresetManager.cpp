#include "presets/PresetManager.h"

#include "presets/PresetFileAccess.h"

namespace Steinberg {
namespace Vst {
namespace InterAppAudio {
namespace {

// The plug-in's two sides, each with a reference of its own.
struct PluginSides {
    IPtr<IComponent> component; // null when the provider's component is no IComponent
    IPtr<IEditController> controller;
};

PluginSides obtainSides(PlugProvider& provider)
{
    PluginSides sides;
    IPtr<IComponent> given = owned(provider.getComponent());
    if (given)
        sides.component = FUnknownPtr<IComponent>(given);
    sides.controller = owned(provider.getController());
    return sides;
}

} // namespace

PresetManager::PresetManager(IPtr<PlugProvider> plugin) : provider(std::move(plugin))
{
    if (provider)
        provider->getComponentUID(cid);
}

PresetManager::~PresetManager() = default;

bool PresetManager::writePreset(const char* path, const talven::PresetMetaInfo& meta)
{
    if (!provider || !path)
        return false;
    const PluginSides sides = obtainSides(*provider);
    return talven::writePresetFile(path, cid, sides.component, sides.controller, meta);
}

bool PresetManager::writePreset(IBStream* stream, const talven::PresetMetaInfo& meta)
{
    if (!provider || !stream)
        return false;
    const PluginSides sides = obtainSides(*provider);
    return talven::writePreset(stream, cid, sides.component, sides.controller, meta);
}

tresult PresetManager::loadPreset(const char* path, const std::function<void()>& beforeApplying,
                                  talven::PresetMetaInfo* meta)
{
    if (!provider || !path)
        return kResultFalse;
    const PluginSides sides = obtainSides(*provider);
    return talven::applyPresetFile(path, cid, sides.component, sides.controller, beforeApplying, meta);
}

tresult PresetManager::loadPreset(IBStream* stream, const std::function<void()>& beforeApplying,
                                  talven::PresetMetaInfo* meta)
{
    if (!provider || !stream)
        return kResultFalse;
    const PluginSides sides = obtainSides(*provider);
    return talven::applyPreset(stream, nullptr, cid, sides.component, sides.controller, beforeApplying, meta);
}

void PresetManager::setControllerValue(ParamID id, ParamValue value)
{
    if (!provider)
        return;
    if (const IPtr<IEditController> controller = owned(provider->getController()))
        controller->setParamNormalized(id, value);
}

} // namespace InterAppAudio
} // namespace Vst
} // namespace Steinberg
