// The command line of talven-apply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talven::apply {

struct Setting {
    std::uint32_t id = 0;
    float value = 0;     // normalized, 0 to 1
    std::string text;    // as given, for messages
};

struct Options {
    bool list = false;
    bool info = false;
    bool scan = false;
    std::vector<std::string> scanFolders; // --scan: empty for the platform's standard folders
    bool bypass = false;
    // --keep-latency: OUTPUT as late as the plug-in makes it; without it,
    // OUTPUT is aligned with INPUT.
    bool keepLatency = false;
    bool help = false;
    std::vector<Setting> settings;
    std::string preset;      // --preset: recalled before the --set values
    std::string savePreset;  // --save-preset: stored with the --set values
    bool programs = false;   // --programs: list them
    std::int32_t program = -1; // --program: selected before the --set values; -1 none
    std::string stateIn;     // --state-in: raw state given before the preset
    std::string stateOut;    // --state-out: raw state written, as --save-preset
    std::string sidechain;   // --sidechain: audio file fed to the side-chain input
    std::string midi;        // --midi: Standard MIDI File played by the plug-in
    std::uint32_t rate = 48000;  // --rate: of the instrument's stream
    std::uint32_t channels = 2;  // --channels: of the instrument's stream
    double tail = 2.0;           // --tail: seconds rendered after the last event
    std::vector<std::string> then; // --then: effects after the instrument, in order
    std::string plugin;
    std::string input;   // empty only with --list or --info
    std::string output;
};

const char* usageText();

// The options, or nothing with a one-line reason in error.
std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::string& error);

} // namespace talven::apply
