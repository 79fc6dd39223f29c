#pragma once

#include "host/HostedPlugin.h"

#include <string>
#include <vector>

namespace talven {

// Loads the module at path (UTF-8 file or package folder), takes its first
// "Audio Module Class" (or, with classId, the class of that ID: 32
// hexadecimal digits, any case, which must be an audio effect), creates and
// connects the plug-in's component and controller and gives the controller
// the plug-in's component handler. True when all of that exists. On failure,
// failure (when given) receives a description for diagnosis; the library
// itself shows it to no one. Caller's thread, with the instance lock held
// (no block can run yet). instrument: the class must be an instrument
// instead (without classId the module's first instrument); an effect's
// attach never takes one.
bool instantiatePlugin(HostedPlugin& plugin, const char* path, std::string* failure = nullptr,
                       const char* classId = nullptr, bool instrument = false);

// The class ID as text: 32 upper-case hexadecimal digits, as preset files
// carry it.
std::string classIdText(const Steinberg::FUID& id);

// True when text is 32 hexadecimal digits (any case).
bool isClassIdText(const char* text);

// Whether the plug-in offers an editor view, found out by asking its
// controller for one and letting it go unshown. Caller's thread.
bool offersEditorView(Steinberg::Vst::IEditController& controller);

// Whether the plug-in offers an editor view: the answer kept from an earlier
// call or a shown editor, else asked now (offersEditorView) and kept. No view
// is made before something needs the answer: a plug-in's GUI can be heavy.
// False without a controller. Caller's thread.
bool offersEditor(HostedPlugin& plugin);

// Has the controller describe each parameter once, before audio starts, and
// returns their ids in its order (the rest of the descriptions is not kept).
// Caller's thread. May throw std::bad_alloc.
std::vector<Steinberg::Vst::ParamID> sweepParameters(Steinberg::Vst::IEditController& controller);

} // namespace talven
