#include "Check.h"

#include "../BlockTrace.h"
#include "../Census.h"

#include <string>

namespace talven::validate {

const std::vector<CheckEntry>& allChecks()
{
    static const std::vector<CheckEntry> checks = {
        {"load", runLoadCheck, runInstrumentLoadCheck},
        {"blocks", runBlocksCheck, runInstrumentBlocksCheck},
        {"determinism", runDeterminismCheck, runInstrumentDeterminismCheck},
        {"parameters", runParametersCheck, runParametersCheck},
        {"state", runStateCheck, runInstrumentStateCheck},
        {"bypass", runBypassCheck, runInstrumentBypassCheck},
        {"storm", runStormCheck, runStormCheck},
        {"editor", runEditorCheck, runEditorCheck},
    };
    return checks;
}

const CheckEntry* findCheck(std::string_view name)
{
    for (const CheckEntry& entry : allChecks()) {
        if (name == entry.name)
            return &entry;
    }
    return nullptr;
}

void takeCensus(Outcome& outcome)
{
    outcome.leftovers(liveHandleCount(), callbackCount());
}

void reportFailedBlocks(Outcome& outcome)
{
    const BlockTrace trace = readBlockTrace(kTraceFileName);
    if (trace.failed > 0)
        outcome.problem("the plug-in's process returned an error for " + std::to_string(trace.failed) + " of " +
                        std::to_string(trace.blocks) + " blocks, which played unprocessed (the trace " +
                        kTraceFileName + " says \"processAudio: process failed\")");
}

} // namespace talven::validate
