#include "Options.h"

#include "checks/Check.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace talven::validate {
namespace {

constexpr double kMaxSeconds = 24 * 3600;
constexpr int kMaxThreads = 64;

bool parseSeconds(const std::string& text, double& seconds)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0 || value > kMaxSeconds)
        return false;
    seconds = value;
    return true;
}

bool parseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t& value)
{
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || parsed > limit)
        return false;
    value = parsed;
    return true;
}

// "--name VALUE" or "--name=VALUE": the value, taking the next argument
// in the first form; nothing when argument is another option.
std::optional<std::string> valueOf(const std::string& name, const std::vector<std::string>& arguments, std::size_t& i,
                                   std::string& error)
{
    const std::string& argument = arguments[i];
    if (argument.rfind(name + "=", 0) == 0)
        return argument.substr(name.size() + 1);
    if (argument != name)
        return std::nullopt;
    if (i + 1 == arguments.size()) {
        error = name + " needs a value";
        return std::nullopt;
    }
    return arguments[++i];
}

std::string seconds(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

} // namespace

const char* usageText()
{
    return "usage: talven-validate [--seconds N] [--threads N] [--seed S] [--json] [--isolated] PLUGIN\n"
           "Checks the VST 3 effect PLUGIN (a module file or a .vst3 package folder) under hostile but legal\n"
           "conditions through Talven and the BASS engine: load, blocks, determinism, parameters, state,\n"
           "bypass, storm and editor. Each check runs in a process of its own, so that a crash fails it.\n"
           "  --seconds N  how long the storm lasts (default 10)\n"
           "  --threads N  threads of the parameter and storm checks, 1 to 64 (default 4)\n"
           "  --seed S     repeat the run of seed S (a decimal number; printed with every report)\n"
           "  --json       print the report as one JSON document\n"
           "  --isolated   attach the plug-in in a process of its own (talven-host), as\n"
           "               TALVEN_ChannelSetDSPWith with TALVEN_ATTACH_ISOLATED does\n"
           "Exit status: 0 when every check passed (flags and skips included), 1 when any failed,\n"
           "2 on a usage error.\n";
}

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error)
{
    Options options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::optional<std::string> value;
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
            return options;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--isolated") {
            options.isolated = true;
        } else if ((value = valueOf("--seconds", arguments, i, error))) {
            if (!parseSeconds(*value, options.seconds)) {
                error = "bad --seconds '" + *value + "': expected a number of seconds above 0";
                return std::nullopt;
            }
        } else if ((value = valueOf("--threads", arguments, i, error))) {
            std::uint64_t threads = 0;
            if (!parseUnsigned(*value, kMaxThreads, threads) || threads == 0) {
                error = "bad --threads '" + *value + "': expected 1 to " + std::to_string(kMaxThreads);
                return std::nullopt;
            }
            options.threads = static_cast<int>(threads);
        } else if ((value = valueOf("--seed", arguments, i, error))) {
            std::uint64_t seed = 0;
            if (!parseUnsigned(*value, ~std::uint64_t(0), seed)) {
                error = "bad --seed '" + *value + "': expected a decimal number";
                return std::nullopt;
            }
            options.seed = seed;
        } else if ((value = valueOf("--child", arguments, i, error))) {
            if (!findCheck(*value)) {
                error = "no check named '" + *value + "'";
                return std::nullopt;
            }
            options.childCheck = *value;
        } else if ((value = valueOf("--scratch", arguments, i, error))) {
            options.scratch = *value;
        } else {
            if (error.empty())
                error = "unknown option " + argument;
            return std::nullopt;
        }
    }
    if (positional.size() != 1 || positional[0].empty()) {
        error = positional.empty() ? "expected PLUGIN" : "expected one PLUGIN";
        return std::nullopt;
    }
    if (options.childCheck.empty() != options.scratch.empty()) {
        error = "--child and --scratch go together";
        return std::nullopt;
    }
    options.plugin = positional[0];
    return options;
}

std::vector<std::string> childArguments(const Options& options, std::uint64_t seed, const std::string& check,
                                        const std::string& scratch)
{
    std::vector<std::string> arguments{"--child",   check, "--scratch", scratch, "--seed", std::to_string(seed),
                                       "--seconds", seconds(options.seconds), "--threads",
                                       std::to_string(options.threads)};
    if (options.isolated)
        arguments.push_back("--isolated");
    arguments.insert(arguments.end(), {"--", options.plugin});
    return arguments;
}

} // namespace talven::validate
