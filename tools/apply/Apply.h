// talven-apply's work: a BASS decoding stream, the plug-in attached through
// Talven, the settings, its description, and the pull of all audio into
// OUTPUT.
#pragma once

#include "Options.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace talven::apply {

// Frames pulled from BASS per call, and so the block the plug-in sees.
constexpr unsigned kFramesPerPull = 4096;

// what, with BASS's error code, for a message.
std::string bassError(const char* what);

// The states, preset, program and --set values given to the plug-in, and
// the bypass. False with a reason in error.
bool applySettings(const Options& options, std::uint32_t handle, std::string& error);

// --midi without INPUT: plays the song on the instrument into OUTPUT
// (InstrumentRender.cpp; Linux only).
bool renderInstrument(const Options& options, std::string& error);

// Runs what options ask for (all but --scan), printing --info and --list
// to out. True on success; false with a one-line reason in error.
bool runApply(const Options& options, std::FILE* out, std::string& error);

} // namespace talven::apply
