// What talven-validate says of plug-ins whose faults make no noise: a
// process that fails every block (which then plays unprocessed), an output
// that equals its input whatever the parameters say, a latency reported
// while the signal passes undelayed, and an editor view that never goes into
// its window. Every check's verdict is asserted, and what its line says.
#include "ValidatorRun.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace validatetest;
using nlohmann::json;

const std::array<const char*, 8> kCheckNames = {"load",  "blocks", "determinism", "parameters",
                                                "state", "bypass", "storm",       "editor"};

// Where an editor window can show: always on Windows, with an X display on
// Linux. Without one the editor check has nothing to open and skips.
bool windowsCanShow()
{
#ifdef _WIN32
    return true;
#else
    const char* display = std::getenv("DISPLAY");
    return display && *display;
#endif
}

// A text that a check's problems, flags or summary hold, or must not hold.
struct Says {
    const char* check;
    const char* part; // "problems", "flags" or "summary"
    const char* text;
    bool present = true;
};

struct Case {
    const char* plugin;
    std::array<const char*, 8> results; // per check, in kCheckNames' order
    std::vector<Says> says;
};

std::string partText(const json& check, const std::string& part)
{
    if (part == "summary")
        return check.at("summary").get<std::string>();
    std::string joined;
    for (const json& text : check.at(part))
        joined += text.get<std::string>() + "\n";
    return joined;
}

const char* const kFailedBlocks = "process returned an error for";
const char* const kNotProcessing = "may not be processing";

TEST(QuietFaults, EachCheckGivesTheVerdictThatFitsAPlugInThatDoesNothingOrReportsLatency)
{
    const char* const editorFails = windowsCanShow() ? "fail" : "skip";
    const std::vector<Case> cases = {
        {"RefusingGain",
         {"fail", "fail", "fail", "fail", "fail", "fail", "fail", "fail"},
         {{"load", "problems", kFailedBlocks},
          {"blocks", "problems", kFailedBlocks},
          {"determinism", "problems", kFailedBlocks},
          {"parameters", "problems", kFailedBlocks},
          {"state", "problems", kFailedBlocks},
          {"bypass", "problems", "my_log.txt says \"processAudio: process failed\""},
          {"storm", "problems", kFailedBlocks},
          {"editor", "problems", kFailedBlocks}}},
        {"DryGain",
         {"pass", "pass", "pass", "flag", "pass", "pass", "pass", "skip"},
         {{"parameters", "flags", kNotProcessing},
          {"parameters", "flags", "settable parameter(s) were swept"},
          {"bypass", "summary", "passes this signal unchanged"}}},
        {"LateDryGain",
         {"pass", "pass", "pass", "flag", "pass", "flag", "pass", "skip"},
         {{"parameters", "flags", kNotProcessing},
          {"bypass", "flags", "reports 64 frame(s) of latency, yet its output equals its input"},
          {"bypass", "summary", "although the plug-in reports 64 frame(s) of latency"},
          {"bypass", "summary", "passes this signal unchanged", false}}},
        {"LateGain",
         {"pass", "pass", "pass", "pass", "pass", "pass", "pass", "skip"},
         {{"bypass", "summary", "reports 64 frame(s) of latency, which bypassed blocks do not have"},
          {"parameters", "summary", "then 1 block(s) listened to while sweeping"}}},
        {"BlindViewGain",
         {"pass", "pass", "pass", "pass", "pass", "pass", "pass", editorFails},
         {{"editor", windowsCanShow() ? "problems" : "summary",
           windowsCanShow() ? "did not go into the editor window" : "no editor window showed"}}},
        {"StuckViewGain",
         {"pass", "pass", "pass", "pass", "pass", "pass", "pass", editorFails},
         {{"editor", windowsCanShow() ? "problems" : "summary",
           windowsCanShow() ? "did not go into the editor window" : "no editor window showed"}}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.plugin);
        const ValidatorRun run = runValidator(quickRun(testPlugin(each.plugin), {"--json", "--seed", "5"}));
        const json report = json::parse(run.out, nullptr, false);
        ASSERT_FALSE(report.is_discarded()) << run.out << run.err;
        ASSERT_EQ(report.at("checks").size(), kCheckNames.size());
        bool anyFailed = false;
        for (std::size_t i = 0; i < kCheckNames.size(); ++i) {
            const json& check = report.at("checks")[i];
            EXPECT_EQ(check.at("name"), kCheckNames[i]);
            EXPECT_EQ(check.at("result"), each.results[i]) << check.dump();
            anyFailed = anyFailed || std::string(each.results[i]) == "fail";
        }
        EXPECT_EQ(run.exitCode, anyFailed ? 1 : 0) << run.err;
        for (const Says& says : each.says) {
            SCOPED_TRACE(std::string(says.check) + " " + says.part + ": " + says.text);
            for (const json& check : report.at("checks")) {
                if (check.at("name") != says.check)
                    continue;
                const std::string text = partText(check, says.part);
                EXPECT_EQ(text.find(says.text) != std::string::npos, says.present) << text;
            }
        }
    }
}

} // namespace
