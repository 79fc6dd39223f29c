// What the talven-apply tests share: running the tool as a user does (under
// Wine too), reading what it printed, and the library's own answers about
// the same plug-in for comparison.
#pragma once

#include "bass.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tooltest {

struct ToolRun {
    int exitCode = -1; // -1 when it did not exit normally
    std::string out;   // line ends as "\n" on both targets
    std::string err;
};

ToolRun runApply(const std::vector<std::string>& arguments);

// ZamVerb and ZamHeadX2 allocate memory when they are loaded that they never
// free (tests/module/ZamPluginsTest.cpp): while this lives, the leak checker
// of an AddressSanitizer build looks away in this thread and is off in the
// tool runs started. Nothing in other builds.
class PluginLeaksIgnored {
public:
    PluginLeaksIgnored();
    ~PluginLeaksIgnored();
    PluginLeaksIgnored(const PluginLeaksIgnored&) = delete;
    PluginLeaksIgnored& operator=(const PluginLeaksIgnored&) = delete;

private:
    std::optional<std::string> savedOptions_;
};

// The lines of text, without their ends.
std::vector<std::string> linesOf(const std::string& text);

// The tool's own messages among the lines of its standard error (which also
// carries what Talven and plug-ins print).
std::vector<std::string> toolMessages(const std::string& err);

// The package folder of a test plug-in, as the tool sees it.
std::string testPlugin(const char* name);

// The --scan lines of the module at path (a test plug-in's package or any
// other) when listed as listedAs, from the module's own factory asked here.
std::vector<std::string> moduleScanLines(const std::string& path, const std::string& listedAs);

// A plug-in attached here as the tool attaches it: on a silent stereo float
// decoding stream of the engine.
class Attached {
public:
    explicit Attached(const std::string& plugin);
    ~Attached();
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;
    std::uint32_t handle() const { return handle_; }

private:
    HSTREAM stream_ = 0;
    std::uint32_t handle_ = 0;
};

// --info's "label   value" lines, up to "module classes", and the lines of
// the module's classes after it.
struct InfoText {
    std::map<std::string, std::string> fields;
    std::vector<std::string> classLines;
};
InfoText parseInfo(const std::string& out);

// Checks each field of printed against TALVEN_GetInfo for handle.
void expectInfoOf(std::uint32_t handle, const InfoText& printed);

} // namespace tooltest
