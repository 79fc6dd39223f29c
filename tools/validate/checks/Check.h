// The eight checks, each run in a process of its own (see Runner.h) against
// one plug-in through Talven's public exports and the BASS engine.
#pragma once

#include "../CheckResult.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talven::validate {

struct CheckContext {
    std::string plugin;      // absolute path, UTF-8
    std::uint64_t seed = 0;  // the run's seed; each check derives its own streams
    double seconds = 10;     // how long the storm lasts
    int threads = 4;         // threads of the parameter and storm checks
    bool instrument = false; // the plug-in is an instrument: played on a stream of its own
};

using CheckFunction = void (*)(const CheckContext& context, Outcome& outcome);

struct CheckEntry {
    const char* name;
    CheckFunction run;
    // The form for an instrument; null: skipped for instruments.
    CheckFunction instrumentRun;
};

// The checks in the order they run.
const std::vector<CheckEntry>& allChecks();
const CheckEntry* findCheck(std::string_view name);

void runLoadCheck(const CheckContext& context, Outcome& outcome);
void runBlocksCheck(const CheckContext& context, Outcome& outcome);
void runDeterminismCheck(const CheckContext& context, Outcome& outcome);
void runParametersCheck(const CheckContext& context, Outcome& outcome);
void runStateCheck(const CheckContext& context, Outcome& outcome);
void runBypassCheck(const CheckContext& context, Outcome& outcome);
void runStormCheck(const CheckContext& context, Outcome& outcome);
void runEditorCheck(const CheckContext& context, Outcome& outcome);
void runInstrumentLoadCheck(const CheckContext& context, Outcome& outcome);
void runInstrumentBlocksCheck(const CheckContext& context, Outcome& outcome);
void runInstrumentDeterminismCheck(const CheckContext& context, Outcome& outcome);
void runInstrumentStateCheck(const CheckContext& context, Outcome& outcome);
void runInstrumentBypassCheck(const CheckContext& context, Outcome& outcome);

// The end of every check, once all its instances are detached and before
// its channels go: live handles and the library's callbacks on the
// channels, which must both be 0.
void takeCensus(Outcome& outcome);

// The end of every check that ran: a problem when the library's trace shows
// blocks whose process returned an error (they played unprocessed).
void reportFailedBlocks(Outcome& outcome);

} // namespace talven::validate
