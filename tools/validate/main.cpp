// talven-validate: checks one VST 3 effect under hostile but legal
// conditions through Talven's public exports and the BASS engine, and
// reports what passed, failed or deserves a flag.
#include "ChildMain.h"
#include "ChildProcess.h"
#include "Instance.h"
#include "Options.h"
#include "Runner.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

int main(int argc, char** argv)
{
    using namespace talven::validate;
    try {
        std::string error;
        const std::optional<Options> options = parseOptions(commandLineArguments(argc, argv), error);
        if (!options) {
            std::fprintf(stderr, "talven-validate: %s (see talven-validate --help)\n", error.c_str());
            return 2;
        }
        if (options->help) {
            std::fputs(usageText(), stdout);
            return 0;
        }
        attachIsolated(options->isolated);
        return options->childCheck.empty() ? runValidation(*options) : runChild(*options);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "talven-validate: %s\n", failure.what());
        return 1;
    }
}
