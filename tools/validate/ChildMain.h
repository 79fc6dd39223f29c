// The child side of a run: one check in a process of its own.
#pragma once

#include "Options.h"

namespace talven::validate {

// The file a check's process leaves its result in, inside its scratch folder.
constexpr const char* kResultFileName = "result.txt";

// Runs options.childCheck in options.scratch and writes the result there.
// Returns 0 when the result was written.
int runChild(const Options& options);

} // namespace talven::validate
