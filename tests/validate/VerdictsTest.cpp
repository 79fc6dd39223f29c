// What talven-validate finds: every rule a checked gain breaks fails exactly
// the check for that rule, the well-behaved gain passes everything and
// leaves nothing behind, and a crash inside a check fails that check alone.
#include "ValidatorRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace validatetest;
using nlohmann::json;

const char* const kCheckNames[] = {"load", "blocks", "determinism", "parameters", "state", "bypass", "storm", "editor"};

json runJson(const char* plugin, bool isolated = false)
{
    std::vector<std::string> options{"--json", "--seed", "11"};
    if (isolated)
        options.push_back("--isolated");
    const ValidatorRun run = runValidator(quickRun(testPlugin(plugin), options));
    EXPECT_EQ(run.exitCode, json::parse(run.out, nullptr, false).value("exitCode", -2)) << run.err;
    return json::parse(run.out);
}

TEST(Verdicts, EachRuleBreakerFailsExactlyItsOwnCheck)
{
    struct Case {
        const char* plugin;
        const char* check;
        const char* problem; // part of the first problem's text
    };
    for (const Case& each : {Case{"NanGain", "blocks", "is NaN"},
                             Case{"ForgetfulGain", "state", "sounds different"},
                             Case{"CoarseGain", "parameters", "read back"}}) {
        SCOPED_TRACE(each.plugin);
        const json report = runJson(each.plugin);
        EXPECT_EQ(report.at("exitCode"), 1);
        EXPECT_EQ(failedChecks(report), std::vector<std::string>{each.check});
        for (const auto& check : report.at("checks")) {
            if (check.at("name") == each.check) {
                ASSERT_FALSE(check.at("problems").empty());
                EXPECT_NE(check.at("problems")[0].get<std::string>().find(each.problem), std::string::npos)
                    << check.at("problems")[0];
            }
        }
    }
}

TEST(Verdicts, AWellBehavedPlugInPassesEveryCheckAndLeavesNothingBehindInTheProgramsProcessOrItsOwn)
{
    for (const bool isolated : {false, true}) {
        SCOPED_TRACE(isolated ? "--isolated" : "in process");
        const json report = runJson("CleanGain", isolated);
        EXPECT_EQ(report.at("exitCode"), 0);
        ASSERT_EQ(report.at("checks").size(), 8u);
        for (std::size_t i = 0; i < 8; ++i) {
            const json& check = report.at("checks")[i];
            SCOPED_TRACE(kCheckNames[i]);
            EXPECT_EQ(check.at("name"), kCheckNames[i]);
            // It has no editor: that check has nothing to open.
            EXPECT_EQ(check.at("result"), i == 7 ? "skip" : "pass") << check.dump();
            EXPECT_EQ(check.at("failures"), 0);
            EXPECT_EQ(check.at("handlesLeft"), 0);
            EXPECT_EQ(check.at("dspsLeft"), 0);
            if (i < 7) {
                EXPECT_GT(check.at("operations").get<std::uint64_t>(), 0u);
            }
        }
        EXPECT_EQ(report.at("summary").at("passed"), 7);
    }
}

TEST(Verdicts, AnInstrumentIsPlayedByEveryCheckOnStreamsOfItsOwn)
{
    // The event recorder's instrument sounds while a note is held and is
    // silent otherwise; it has no editor.
    const json report = runJson("EventRecorder");
    EXPECT_EQ(report.at("exitCode"), 0);
    ASSERT_EQ(report.at("checks").size(), 8u);
    for (const json& check : report.at("checks")) {
        const std::string name = check.at("name");
        SCOPED_TRACE(name);
        const bool editor = name == "editor";
        EXPECT_EQ(check.at("result"), editor ? "skip" : "pass") << check.dump();
        EXPECT_EQ(check.at("handlesLeft"), 0);
        EXPECT_EQ(check.at("dspsLeft"), 0);
        EXPECT_GT(check.at("operations").get<std::uint64_t>(), 0u);
        if (editor) {
            EXPECT_NE(check.at("summary").get<std::string>().find("has no editor"), std::string::npos)
                << check.dump();
        }
    }
    for (const json& check : report.at("checks")) {
        const std::string summary = check.at("summary");
        if (check.at("name") == "parameters") {
            // Swept while the streams played, then a block of the chord per parameter.
            EXPECT_NE(summary.find("block(s) of a chord played"), std::string::npos) << summary;
        }
        if (check.at("name") == "state") {
            // The recorder maps controllers, pressure and pitch bend to
            // parameters: the state leaves those out.
            EXPECT_NE(summary.find("carrying MIDI controllers left out"), std::string::npos) << summary;
            EXPECT_EQ(summary.find("(0 carrying"), std::string::npos) << summary;
        }
        if (check.at("name") == "storm") {
            EXPECT_NE(summary.find("event sends"), std::string::npos) << summary;
            EXPECT_EQ(summary.find(": 0 attaches"), std::string::npos) << summary;
        }
    }
}

TEST(Verdicts, ACrashInsideACheckFailsThatCheckAloneAndTheOthersStillReport)
{
    const ValidatorRun run = runValidator(quickRun(testPlugin("AbortingGain"), {"--json", "--seed", "11"}));
    ASSERT_EQ(run.exitCode, 1) << run.err;
    const json report = json::parse(run.out);
    EXPECT_EQ(failedChecks(report), std::vector<std::string>{"blocks"});
    const json& blocks = report.at("checks")[1];
    const std::string why = blocks.at("problems")[0];
    // abort(): a signal on Linux, exit code 3 from the C runtime on Windows.
    EXPECT_TRUE(why.find("the check's process crashed") == 0 || why.find("the check's process exited with code") == 0)
        << why;
    EXPECT_EQ(report.at("checks").size(), 8u);
    EXPECT_EQ(report.at("summary").at("passed"), 6);
    // What the crashed process printed goes to standard error for the reader.
    EXPECT_NE(run.err.find("blocks check"), std::string::npos) << run.err;
}

} // namespace
