#pragma once

#include "registry/PluginInstance.h"

#include <cstdint>
#include <string>

namespace talven {

// The open step of an attach, on the caller's thread: looks the instance up
// with a hold, instantiates its plug-in, opens the editor when showEditor is
// non-zero (x, y: window position, 0/0 centres; title: UTF-8), and has the
// controller describe every parameter once. The hold is released on every
// path. True when the plug-in was instantiated.
bool openPlugin(const char* path, std::uint32_t handle, std::uint8_t showEditor, std::int32_t x,
                std::int32_t y, const char* title) noexcept;

// Under the instance lock: loads the module at path (UTF-8 file or package
// folder), takes its first "Audio Module Class", creates and connects the
// plug-in's component and controller and gives the controller the
// instance's component handler. True when all of that exists. On failure,
// failure (when given) receives a description for diagnosis; the library
// itself shows it to no one. Caller's thread.
bool instantiatePlugin(PluginInstance& instance, const char* path, std::string* failure = nullptr);

} // namespace talven
