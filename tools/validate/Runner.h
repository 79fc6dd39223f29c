// The parent side of a run: every check in a process of its own (this
// program again, with --child), its result read back, and the report.
// A check whose process crashes, hangs or ends abnormally fails.
#pragma once

#include "Options.h"

namespace talven::validate {

// Runs every check against options.plugin and prints the report. Returns
// the exit status: 0 when no check failed, 1 otherwise.
int runValidation(const Options& options);

} // namespace talven::validate
