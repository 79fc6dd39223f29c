// talven-apply's work: a BASS decoding stream, the plug-in attached through
// Talven, the settings, and the pull of all audio into OUTPUT.
#pragma once

#include "Options.h"

#include <string>

namespace talven::apply {

// Frames pulled from BASS per call, and so the block the plug-in sees.
constexpr unsigned kFramesPerPull = 4096;

// Runs what options ask for. True on success; false with a one-line reason
// in error.
bool runApply(const Options& options, std::string& error);

} // namespace talven::apply
