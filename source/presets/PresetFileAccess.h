#pragma once

#include "pluginterfaces/base/funknown.h"
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
                     Steinberg::Vst::IEditController* controller);

// Reads the preset file at path and, when it is one for class cid, gives the
// component its "Comp" chunk (setState), then, if the component took it or
// has no state (kNotImplemented), the controller the same chunk
// (setComponentState) and its own "Cont" chunk if there is one (setState).
// kResultFalse when nothing was applied, else the component's result.
// beforeApplying, when given, runs once the file proved to be one for this
// class, just before the component is given its state. Caller's thread.
Steinberg::tresult applyPresetFile(const char* path, const Steinberg::FUID& cid,
                                   Steinberg::Vst::IComponent* component,
                                   Steinberg::Vst::IEditController* controller,
                                   const std::function<void()>& beforeApplying = {});

} // namespace talven
