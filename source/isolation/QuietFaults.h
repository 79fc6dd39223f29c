// For the process a plug-in runs in: a fault ends it at once and quietly. No
// crash dialog or debugger waits for a user who is not there (the program
// notices the end and plays on), and no core file is written for each crash.
#pragma once

namespace talven {

// Main thread, first thing.
void endQuietlyOnFault();

} // namespace talven
