#pragma once

#include "presets/PresetMetaInfo.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <functional>

namespace talven {

// Writes the preset file for a plug-in of class cid at path: the header, the
// component's state ("Comp"), the controller's state ("Cont", only when a
// controller is given) and the chunk list. The file at path is replaced only
// when the new one was written whole; true then. Caller's thread; the
// plug-in's getState calls may meet its processing on the audio thread.
bool writePresetFile(const char* path, const Steinberg::FUID& cid, Steinberg::Vst::IComponent* component,
                     Steinberg::Vst::IEditController* controller, const PresetMetaInfo& meta = {});

// The same preset written into stream from its current position (a memory
// stream for the state in memory), and meta, when present, as its "Info"
// chunk. True when every part was written.
bool writePreset(Steinberg::IBStream* stream, const Steinberg::FUID& cid, Steinberg::Vst::IComponent* component,
                 Steinberg::Vst::IEditController* controller, const PresetMetaInfo& meta = {});

// Reads the preset file at path and, when it is one for class cid, gives the
// component its "Comp" chunk (setState), then, if the component took it or
// has no state (kNotImplemented), the controller the same chunk
// (setComponentState) and its own "Cont" chunk if there is one (setState).
// kResultFalse when nothing was applied, else the component's result.
// beforeApplying, when given, runs once the file proved to be one for this
// class, just before the component is given its state. When the component
// took the state (or has none) and meta is given, it receives the file's
// "Info" chunk (present false without one). Caller's thread.
Steinberg::tresult applyPresetFile(const char* path, const Steinberg::FUID& cid,
                                   Steinberg::Vst::IComponent* component,
                                   Steinberg::Vst::IEditController* controller,
                                   const std::function<void()>& beforeApplying = {}, PresetMetaInfo* meta = nullptr);

// The same for a preset read from source (a memory stream for the state in
// memory); fileName, UTF-8 or null, is what the plug-in is told the preset's
// file is called.
Steinberg::tresult applyPreset(Steinberg::IBStream* source, const char* fileName, const Steinberg::FUID& cid,
                               Steinberg::Vst::IComponent* component, Steinberg::Vst::IEditController* controller,
                               const std::function<void()>& beforeApplying = {}, PresetMetaInfo* meta = nullptr);

} // namespace talven
