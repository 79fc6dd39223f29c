// talven-validate's promises to the people and programs that run it: usage
// errors exit with 2, the JSON report says what the text says, and a seed
// repeats a run.
#include "ValidatorRun.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace validatetest;
using nlohmann::json;

// The checks whose work depends on the seed alone, not on timing.
const char* const kRepeatableChecks[] = {"load", "blocks", "determinism", "state", "bypass"};

const json& checkNamed(const json& report, const std::string& name)
{
    for (const json& check : report.at("checks")) {
        if (check.at("name") == name)
            return check;
    }
    throw std::runtime_error("no check " + name);
}

TEST(Interface, UsageErrorsExitWithTwoAndOneLineOnStandardError)
{
    const std::string plugin = testPlugin("CleanGain");
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"--seconds", "0", plugin},
        {"--seconds", "ten", plugin},
        {"--seconds"},
        {"--threads", "0", plugin},
        {"--threads", "65", plugin},
        {"--seed", "-3", plugin},
        {"--colour", plugin},
        {plugin, plugin},
        {"--child", "nonsense", "--scratch", ".", plugin},
    };
    for (const auto& arguments : mistakes) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const ValidatorRun run = runValidator(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_NE(run.err.find("see talven-validate --help"), std::string::npos) << run.err;
    }
    const ValidatorRun help = runValidator({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: talven-validate", 0), 0u) << help.out;
    const ValidatorRun missing = runValidator({testPlugin("NoSuchPlugin")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot find"), std::string::npos) << missing.err;
}

TEST(Interface, TheJsonReportParsesAndSaysWhatTheTextSays)
{
    const std::string plugin = testPlugin("NanGain");
    const ValidatorRun text = runValidator(quickRun(plugin, {"--seed", "21"}));
    const ValidatorRun asJson = runValidator(quickRun(plugin, {"--seed", "21", "--json"}));
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_EQ(asJson.exitCode, 1);
    const json report = json::parse(asJson.out); // throws when it does not parse
    const std::vector<TextCheck> lines = textChecks(text.out);
    ASSERT_EQ(lines.size(), report.at("checks").size()) << text.out;
    std::map<std::string, int> results;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const json& check = report.at("checks")[i];
        SCOPED_TRACE(lines[i].name);
        EXPECT_EQ(check.at("name"), lines[i].name);
        EXPECT_EQ(check.at("result"), lines[i].result);
        ++results[lines[i].result];
        for (const char* repeatable : kRepeatableChecks) {
            if (lines[i].name == repeatable) {
                EXPECT_EQ(check.at("operations"), lines[i].operations);
                EXPECT_EQ(check.at("failures"), lines[i].failures);
            }
        }
    }
    EXPECT_EQ(report.at("seed"), 21);
    EXPECT_EQ(report.at("summary").at("passed"), results["pass"]);
    EXPECT_EQ(report.at("summary").at("failed"), results["fail"]);
    EXPECT_EQ(report.at("summary").at("skipped"), results["skip"]);
    EXPECT_NE(text.out.find("summary: " + std::to_string(results["pass"]) + " passed"), std::string::npos) << text.out;
}

TEST(Interface, TheSameSeedRepeatsARunAndTheSeedIsPrinted)
{
    const std::string plugin = testPlugin("CleanGain");
    const ValidatorRun unseeded = runValidator(quickRun(plugin, {"--json"}));
    const json first = json::parse(unseeded.out);
    const std::uint64_t seed = first.at("seed");
    const json again = json::parse(runValidator(quickRun(plugin, {"--json", "--seed", std::to_string(seed)})).out);
    const json other = json::parse(runValidator(quickRun(plugin, {"--json", "--seed", std::to_string(seed + 1)})).out);
    for (const char* name : kRepeatableChecks) {
        SCOPED_TRACE(name);
        EXPECT_EQ(checkNamed(first, name).at("summary"), checkNamed(again, name).at("summary"));
        EXPECT_EQ(checkNamed(first, name).at("operations"), checkNamed(again, name).at("operations"));
    }
    // The block lengths come from the seed, and so the frames the summary counts.
    EXPECT_NE(checkNamed(first, "blocks").at("summary"), checkNamed(other, "blocks").at("summary"));

    const ValidatorRun text = runValidator(quickRun(plugin, {"--seed", "77"}));
    EXPECT_NE(text.out.find("seed 77,"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("(seed 77)"), std::string::npos) << text.out;
}

} // namespace
