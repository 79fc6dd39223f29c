// talven-apply: runs an audio file through a VST 3 effect by way of BASS and
// Talven, using only their public interfaces.
#include "Apply.h"
#include "Options.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    try {
        std::string error;
        const std::optional<talven::apply::Options> options =
            talven::apply::parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
        if (!options) {
            std::fprintf(stderr, "talven-apply: %s (see talven-apply --help)\n", error.c_str());
            return 2;
        }
        if (options->help) {
            std::fputs(talven::apply::usageText(), stdout);
            return 0;
        }
        if (!talven::apply::runApply(*options, error)) {
            std::fprintf(stderr, "talven-apply: %s\n", error.c_str());
            return 1;
        }
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "talven-apply: %s\n", failure.what());
        return 1;
    }
}
