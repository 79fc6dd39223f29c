#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace talven::apply {
namespace {

bool parseId(const std::string& text, std::uint32_t& id)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || value > 0xFFFFFFFFull)
        return false;
    id = static_cast<std::uint32_t>(value);
    return true;
}

bool parseProgram(const std::string& text, std::int32_t& program)
{
    std::uint32_t value = 0;
    if (!parseId(text, value) || value > 0x7FFFFFFFu)
        return false;
    program = static_cast<std::int32_t>(value);
    return true;
}

bool parseValue(const std::string& text, float& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < 0.0 || parsed > 1.0)
        return false;
    value = static_cast<float>(parsed);
    return true;
}

std::optional<Setting> parseSetting(const std::string& text, std::string& error)
{
    const std::string::size_type equals = text.find('=');
    Setting setting;
    setting.text = text;
    if (equals == std::string::npos || !parseId(text.substr(0, equals), setting.id) ||
        !parseValue(text.substr(equals + 1), setting.value)) {
        error = "bad --set '" + text + "': expected ID=VALUE, a parameter id and a value from 0 to 1";
        return std::nullopt;
    }
    return setting;
}

// "--preset", "--save-preset", "--state-in", "--state-out" or "--sidechain" when argument
// is one of them, alone or with "=FILE"; else null.
const char* fileOption(const std::string& argument)
{
    for (const char* name : {"--preset", "--save-preset", "--state-in", "--state-out", "--sidechain", "--midi",
                             "--then"}) {
        const std::string option(name);
        if (argument == option || argument.rfind(option + "=", 0) == 0)
            return name;
    }
    return nullptr;
}

// --scan lists folders and works on no plug-in: nothing else goes with it.
std::optional<Options> scanOptions(Options options, const std::vector<std::string>& folders, std::string& error)
{
    if (options.list || options.info || options.bypass || options.keepLatency || !options.settings.empty() ||
        !options.preset.empty() || !options.savePreset.empty() || options.programs || options.program >= 0 || !options.stateIn.empty() ||
        !options.stateOut.empty()) {
        error = "--scan takes only FOLDERs";
        return std::nullopt;
    }
    for (const std::string& folder : folders) {
        if (folder.empty()) {
            error = "empty folder name";
            return std::nullopt;
        }
    }
    options.scanFolders = folders;
    return options;
}

// --rate R, --channels C or --tail SECONDS (alone or with "="), at
// arguments[i]; moves i past its value.
bool parseRenderOption(const std::vector<std::string>& arguments, std::size_t& i, Options& options,
                       std::string& error)
{
    const std::string& argument = arguments[i];
    const std::string::size_type equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    std::string text;
    if (equals != std::string::npos) {
        text = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
        text = arguments[++i];
    } else {
        error = name + " needs a value";
        return false;
    }
    if (name == "--tail") {
        char* end = nullptr;
        errno = 0;
        const double seconds = std::strtod(text.c_str(), &end);
        if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 3600) {
            error = "bad --tail '" + text + "': expected seconds from 0 to 3600";
            return false;
        }
        options.tail = seconds;
        return true;
    }
    std::uint32_t value = 0;
    const bool rate = name == "--rate";
    if (!parseId(text, value) || (rate ? value < 8000 || value > 384000 : value < 1 || value > 8)) {
        error = "bad " + name + " '" + text + "': expected " + (rate ? "8000 to 384000 Hz" : "1 to 8 channels");
        return false;
    }
    (rate ? options.rate : options.channels) = value;
    return true;
}

} // namespace

const char* usageText()
{
    return "usage: talven-apply [--list] [--info] [--programs] [--state-in FILE] [--preset FILE] [--program N]\n"
           "                    [--set ID=VALUE]... [--save-preset FILE] [--state-out FILE] [--bypass]\n"
           "                    [--keep-latency] [--sidechain FILE] PLUGIN INPUT OUTPUT\n"
           "       talven-apply --list|--info|--programs [--state-in FILE] [--preset FILE] [--program N]\n"
           "                    [--set ID=VALUE]... [--save-preset FILE] [--state-out FILE] PLUGIN\n"
           "       talven-apply --midi SONG [--rate R] [--channels C] [--tail SECONDS] [--then EFFECT]...\n"
           "                    [--set ID=VALUE]... INSTRUMENT OUTPUT\n"
           "       talven-apply --scan [FOLDER]...\n"
           "Runs INPUT through the VST 3 effect PLUGIN and writes OUTPUT in INPUT's format.\n"
           "  --list              print the plug-in's parameters (after the --set values): index, id,\n"
           "                      title, units, default and current value, and the current value's text\n"
           "  --info              print what the attached plug-in tells of itself, and the classes of its module\n"
           "  --programs          print the plug-in's programs: index and name, separated by a tab\n"
           "  --state-in FILE     give the plug-in the raw state in FILE (as --state-out writes it) first\n"
           "  --preset FILE       recall the VST 3 preset FILE before the --set values\n"
           "  --program N         select program N (see --programs) before the --set values\n"
           "  --set ID=VALUE      set parameter ID (see --list) to the normalized VALUE, 0 to 1\n"
           "  --save-preset FILE  store the plug-in's state, with the --set values, to FILE\n"
           "  --state-out FILE    write the plug-in's raw state, with the --set values, to FILE\n"
           "  --bypass            attach the plug-in but pass the audio through untouched\n"
           "  --sidechain FILE    feed FILE (at INPUT's sample rate) to the plug-in's side-chain input,\n"
           "                      frame for frame with INPUT; silence after FILE's end\n"
           "  --midi SONG         play the Standard MIDI File SONG (all tracks, its tempo changes) on the\n"
           "                      VST 3 INSTRUMENT, sample-accurately, into OUTPUT (32-bit float WAV);\n"
           "                      with INPUT, to an effect with an event input (Linux only)\n"
           "  --rate R            the instrument's sample rate, 8000 to 384000 (default 48000)\n"
           "  --channels C        the instrument's channels, 1 to 8 (default 2)\n"
           "  --tail SECONDS      rendered after the song's last event (default 2)\n"
           "  --then EFFECT       run the instrument's output through EFFECT too (repeatable, in order)\n"
           "  --keep-latency      leave the plug-in's latency in OUTPUT. Without it, OUTPUT is aligned\n"
           "                      with INPUT: the frames of the latency the plug-in reports (after the\n"
           "                      preset and the --set values) are dropped from the start, and as many\n"
           "                      frames of silence are run through it past INPUT's end; OUTPUT is as\n"
           "                      long as INPUT either way\n"
           "  --scan              list the VST 3 plug-ins in the FOLDERs and their sub-folders (without\n"
           "                      FOLDER: the platform's standard VST 3 folders), one line per class\n"
           "                      with these 8 fields, separated by tabs:\n"
           "                        SOURCE NAME VENDOR CATEGORY SUB-CATEGORIES VERSION CLASS-ID PATH\n"
           "                      SOURCE is json (read from the package's moduleinfo.json, nothing\n"
           "                      loaded), module (the module loaded and asked), or failed (a module\n"
           "                      that cannot be loaded: one line, every field but PATH empty).\n"
           "                      SUB-CATEGORIES are joined by '|'. Exits with 1 when a folder\n"
           "                      cannot be read, after listing the rest.\n";
}

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error)
{
    Options options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    bool renderOptions = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--list") {
            options.list = true;
        } else if (argument == "--info") {
            options.info = true;
        } else if (argument == "--scan") {
            options.scan = true;
        } else if (argument == "--programs") {
            options.programs = true;
        } else if (argument == "--program" || argument.rfind("--program=", 0) == 0) {
            std::string text;
            if (argument == "--program") {
                if (i + 1 == arguments.size()) {
                    error = "--program needs N";
                    return std::nullopt;
                }
                text = arguments[++i];
            } else {
                text = argument.substr(10);
            }
            if (!parseProgram(text, options.program)) {
                error = "bad --program '" + text + "': expected a program index from 0 (see --programs)";
                return std::nullopt;
            }
        } else if (argument == "--rate" || argument == "--channels" || argument == "--tail" ||
                   argument.rfind("--rate=", 0) == 0 || argument.rfind("--channels=", 0) == 0 ||
                   argument.rfind("--tail=", 0) == 0) {
            if (!parseRenderOption(arguments, i, options, error))
                return std::nullopt;
            renderOptions = true;
        } else if (argument == "--bypass") {
            options.bypass = true;
        } else if (argument == "--keep-latency") {
            options.keepLatency = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
            return options;
        } else if (const char* name = fileOption(argument)) {
            std::string file;
            if (argument == name) {
                if (i + 1 == arguments.size()) {
                    error = std::string(name) + " needs FILE";
                    return std::nullopt;
                }
                file = arguments[++i];
            } else {
                file = argument.substr(std::string(name).size() + 1);
            }
            if (file.empty()) {
                error = std::string(name) + " needs FILE";
                return std::nullopt;
            }
            const std::string option(name);
            if (option == "--then") {
                options.then.push_back(file);
                continue;
            }
            std::string& field = option == "--preset"        ? options.preset
                                 : option == "--midi"        ? options.midi
                                 : option == "--save-preset" ? options.savePreset
                                 : option == "--state-in"    ? options.stateIn
                                 : option == "--sidechain"   ? options.sidechain
                                                             : options.stateOut;
            field = file;
        } else if (argument == "--set" || argument.rfind("--set=", 0) == 0) {
            std::string text;
            if (argument == "--set") {
                if (i + 1 == arguments.size()) {
                    error = "--set needs ID=VALUE";
                    return std::nullopt;
                }
                text = arguments[++i];
            } else {
                text = argument.substr(6);
            }
            std::optional<Setting> setting = parseSetting(text, error);
            if (!setting)
                return std::nullopt;
            options.settings.push_back(*setting);
        } else {
            error = "unknown option " + argument;
            return std::nullopt;
        }
    }

    if (options.scan)
        return scanOptions(options, positional, error);
    if ((renderOptions || !options.then.empty()) && (options.midi.empty() || positional.size() != 2)) {
        error = "--rate, --channels, --tail and --then go with --midi SONG INSTRUMENT OUTPUT";
        return std::nullopt;
    }
    if (!options.midi.empty() && positional.size() == 2) {
        options.plugin = positional[0];
        options.output = positional[1];
        if (options.plugin.empty() || options.output.empty()) {
            error = "empty file name";
            return std::nullopt;
        }
        return options;
    }
    const bool pluginAlone = options.list || options.info || options.programs;
    if (positional.size() == 3) {
        options.plugin = positional[0];
        options.input = positional[1];
        options.output = positional[2];
    } else if (positional.size() == 1 && pluginAlone) {
        options.plugin = positional[0];
    } else {
        error = pluginAlone ? "expected PLUGIN, or PLUGIN INPUT OUTPUT" : "expected PLUGIN INPUT OUTPUT";
        return std::nullopt;
    }
    if (options.plugin.empty() || (positional.size() == 3 && (options.input.empty() || options.output.empty()))) {
        error = "empty file name";
        return std::nullopt;
    }
    return options;
}

} // namespace talven::apply
