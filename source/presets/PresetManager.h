#pragma once

#include "presets/PresetMetaInfo.h"
#include "sdk/PlugProvider.h"

#include "base/source/fobject.h"
#include "pluginterfaces/base/funknown.h"

#include <functional>

namespace Steinberg {
namespace Vst {
namespace InterAppAudio {

// Stores and loads presets for one plug-in, tagged with the plug-in's class
// ID. Made for one exported call on the caller's thread. It keeps a
// reference to the plug-in's provider, so the plug-in outlives a detach on
// another thread until the manager goes.
class PresetManager : public FObject {
public:
    // provider may be null (a detached plug-in): then there is no plug-in.
    explicit PresetManager(IPtr<PlugProvider> provider);
    ~PresetManager() override;
    PresetManager(const PresetManager&) = delete;
    PresetManager& operator=(const PresetManager&) = delete;

    // False when the instance has no plug-in (never made, or detached).
    bool hasPlugin() const { return provider != nullptr; }

    // Writes the preset file, replacing a file at path only with a whole one,
    // with meta as its "Info" chunk when present. True when the file was
    // written and put in place.
    bool writePreset(const char* path, const talven::PresetMetaInfo& meta = {});
    // The same preset written into stream (the state in memory).
    bool writePreset(IBStream* stream, const talven::PresetMetaInfo& meta = {});

    // Applies the preset file at path if it was stored for this plug-in
    // class: kResultFalse when nothing was applied, else the component's
    // setState result. beforeApplying runs, when given, once the file proved
    // to be one for this class, just before the plug-in is given its state.
    // meta, when given, receives the file's "Info" chunk once the plug-in
    // took the state.
    tresult loadPreset(const char* path, const std::function<void()>& beforeApplying = {},
                       talven::PresetMetaInfo* meta = nullptr);
    // The same for a preset read from stream (the state in memory).
    tresult loadPreset(IBStream* stream, const std::function<void()>& beforeApplying = {},
                       talven::PresetMetaInfo* meta = nullptr);

    // Gives the controller the value of one parameter (setParamNormalized).
    void setControllerValue(ParamID id, ParamValue value);

private:
    IPtr<PlugProvider> provider; // null when the instance had no plug-in
    FUID cid;
};

} // namespace InterAppAudio
} // namespace Vst
} // namespace Steinberg
