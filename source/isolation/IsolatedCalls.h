#pragma once

#include "isolation/IsolatedLink.h"
#include "talven.h"

#include <cstdint>

namespace talven::isolated {

// The handle functions for an attachment in a process of its own: each the
// same call made there, with the same results; the failure value of the
// function when the process has gone or does not answer. Caller's thread.
std::int32_t getBypass(IsolatedLink& link);
std::int32_t setBypass(IsolatedLink& link, std::int32_t request);
std::int32_t getParamCount(IsolatedLink& link);
std::int32_t getParamInfo(IsolatedLink& link, std::int32_t index, TALVEN_PARAMETERINFO& info);
double getParam(IsolatedLink& link, std::uint32_t id);
std::int32_t setParam(IsolatedLink& link, std::uint32_t id, float value);
std::int32_t getParamText(IsolatedLink& link, std::uint32_t id, double value, char* text, std::int32_t size);
std::int32_t getParamValueFromText(IsolatedLink& link, std::uint32_t id, const char* text, double& value);
std::int32_t storePreset(IsolatedLink& link, const char* path);
std::int32_t recallPreset(IsolatedLink& link, const char* path);
std::int32_t getInfo(IsolatedLink& link, TALVEN_INFO& info);
std::int32_t setTransport(IsolatedLink& link, double tempo, std::int32_t numerator, std::int32_t denominator);
std::int32_t getState(IsolatedLink& link, void* data, std::int32_t capacity);
std::int32_t setState(IsolatedLink& link, const void* data, std::int32_t size);
std::int32_t getProgramCount(IsolatedLink& link);
std::int32_t getProgramName(IsolatedLink& link, std::int32_t index, char* name, std::int32_t size);
std::int32_t getProgram(IsolatedLink& link);
std::int32_t setProgram(IsolatedLink& link, std::int32_t index);
std::int32_t setParamCallback(IsolatedLink& link, TALVEN_PARAMPROC callback, void* user);
std::int32_t showEditor(IsolatedLink& link, std::uint8_t visible, std::int32_t x, std::int32_t y,
                        TALVEN_POSITIONPROC positionCallback, const char* title);
// The program's window is a system-wide id: an X11 window id is one for any
// client; a window of another process cannot parent one on Windows (0).
std::int32_t embedEditor(IsolatedLink& link, void* parent);
std::int32_t getEditorSize(IsolatedLink& link, std::int32_t& width, std::int32_t& height);
std::int32_t setEditorSize(IsolatedLink& link, std::int32_t& width, std::int32_t& height);
std::int32_t setEditorCallback(IsolatedLink& link, TALVEN_EDITORPROC callback, void* user);

} // namespace talven::isolated
