#include "ChildMain.h"

#include "Channel.h"
#include "InstrumentStream.h"
#include "checks/Check.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

namespace talven::validate {
namespace {

namespace fs = std::filesystem;

CheckResult runCheck(const CheckEntry& entry, const CheckContext& context)
{
    Outcome outcome(entry.name);
    const auto start = std::chrono::steady_clock::now();
    try {
        BassSession bass;
        if (!bass.ok()) {
            outcome.problem("BASS could not start (error " + std::to_string(BASS_ErrorGetCode()) + ")");
        } else {
            const CheckFunction run = context.instrument ? entry.instrumentRun : entry.run;
            if (run)
                run(context, outcome);
            else
                outcome.skip("not adapted to instruments yet");
            // A check that stopped early has let its instances and channels go.
            if (!outcome.censusTaken())
                takeCensus(outcome);
            reportFailedBlocks(outcome);
        }
    } catch (const std::exception& failure) {
        outcome.problem(std::string("the check stopped: ") + failure.what());
    }
    return outcome.finish(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// Written beside and renamed, so the parent never reads half a result.
bool writeResult(const CheckResult& result)
{
    const std::string partial = std::string(kResultFileName) + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << serialize(result);
        if (!out)
            return false;
    }
    std::error_code error;
    fs::rename(partial, kResultFileName, error);
    return !error;
}

} // namespace

int runChild(const Options& options)
{
    const CheckEntry* entry = findCheck(options.childCheck);
    std::error_code error;
    fs::current_path(fs::u8path(options.scratch), error);
    if (!entry || error) {
        std::fprintf(stderr, "talven-validate: cannot enter %s\n", options.scratch.c_str());
        return 3;
    }
    CheckContext context;
    context.plugin = options.plugin;
    context.seed = options.seed.value_or(0);
    context.seconds = options.seconds;
    context.threads = options.threads;
    context.instrument = isInstrumentModule(options.plugin);
    const CheckResult result = runCheck(*entry, context);
    std::fflush(stdout);
    return writeResult(result) ? 0 : 3;
}

} // namespace talven::validate
