#include "Check.h"

#include "../Census.h"

namespace talven::validate {

const std::vector<CheckEntry>& allChecks()
{
    static const std::vector<CheckEntry> checks = {
        {"load", runLoadCheck},         {"blocks", runBlocksCheck}, {"determinism", runDeterminismCheck},
        {"parameters", runParametersCheck}, {"state", runStateCheck},   {"bypass", runBypassCheck},
        {"storm", runStormCheck},       {"editor", runEditorCheck},
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

} // namespace talven::validate
