// The command line of talven-validate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talven::validate {

struct Options {
    double seconds = 10;                 // --seconds: how long the storm lasts
    int threads = 4;                     // --threads
    std::optional<std::uint64_t> seed;   // --seed; a fresh one when absent
    bool json = false;                   // --json: the report as one JSON document
    bool isolated = false;               // --isolated: every attach in a process of its own
    bool help = false;
    std::string plugin;

    // A check's own process, started by the validator itself (not for users):
    // --child CHECK --scratch DIR runs CHECK with DIR as working folder.
    std::string childCheck;
    std::string scratch;
};

const char* usageText();

// The options, or nothing with a one-line reason in error.
std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error);

// The arguments that make a child process run check with these options.
std::vector<std::string> childArguments(const Options& options, std::uint64_t seed, const std::string& check,
                                        const std::string& scratch);

} // namespace talven::validate
