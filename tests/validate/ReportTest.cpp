// The pieces of talven-validate that carry results between its processes
// and out to programs: the result record a check's process hands back, the
// JSON document, and the values a parameter sweep visits.
#include "CheckResult.h"
#include "ParameterList.h"
#include "Random.h"
#include "RunReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <set>

namespace {

using namespace talven::validate;

CheckResult sampleResult()
{
    Outcome outcome("state");
    outcome.operation(41);
    outcome.problem("a problem\nover two lines");
    outcome.problem("another");
    outcome.flag("a flag");
    outcome.summary("what was done");
    outcome.leftovers(0, 0);
    return outcome.finish(1.25);
}

std::string printed(const RunReport& report)
{
    std::FILE* file = std::tmpfile();
    printJson(file, report);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

TEST(ResultRecord, ComesBackFromItsFileAsItWasWithLineEndsFlattened)
{
    const CheckResult result = sampleResult();
    EXPECT_EQ(result.status, Status::Fail);
    const std::optional<CheckResult> back = deserialize(serialize(result));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "state");
    EXPECT_EQ(back->status, Status::Fail);
    EXPECT_EQ(back->operations, 41u);
    EXPECT_EQ(back->failures, 2u);
    EXPECT_DOUBLE_EQ(back->seconds, 1.25);
    EXPECT_EQ(back->handlesLeft, 0);
    EXPECT_EQ(back->dspsLeft, 0);
    EXPECT_EQ(back->problems, (std::vector<std::string>{"a problem over two lines", "another"}));
    EXPECT_EQ(back->flags, std::vector<std::string>{"a flag"});
    EXPECT_EQ(back->summary, "what was done");
}

TEST(ResultRecord, HalfAFileOrAnUnknownStatusIsNoResult)
{
    const std::string whole = serialize(sampleResult());
    EXPECT_FALSE(deserialize(whole.substr(0, whole.size() / 2)));
    EXPECT_FALSE(deserialize(""));
    std::string wrong = whole;
    wrong.replace(wrong.find("status fail"), 11, "status good");
    EXPECT_FALSE(deserialize(wrong));
}

TEST(ResultRecord, StatusIsFailWithAProblemElseSkipFlagOrPass)
{
    Outcome skipped("editor");
    skipped.flag("ignored by a skip");
    skipped.skip("no editor");
    EXPECT_EQ(skipped.finish(0).status, Status::Skip);
    Outcome flagged("determinism");
    flagged.flag("differs");
    EXPECT_EQ(flagged.finish(0).status, Status::Flag);
    Outcome leaking("load");
    leaking.leftovers(2, 1);
    const CheckResult leaked = leaking.finish(0);
    EXPECT_EQ(leaked.status, Status::Fail);
    EXPECT_EQ(leaked.failures, 2u);
    EXPECT_EQ(Outcome("bypass").finish(0).status, Status::Pass);
}

TEST(JsonReport, ParsesWithTextThatIsNotUtf8OrHoldsControlCharacters)
{
    RunReport report;
    report.plugin = "/plug-ins/Caf\xc3\xa9 \"Verb\"\\\x01\xff.vst3";
    report.seed = 18446744073709551615ull;
    report.checks.push_back(sampleResult());
    CheckResult unmeasured;
    unmeasured.name = "storm";
    unmeasured.status = Status::Fail;
    report.checks.push_back(unmeasured);
    const nlohmann::json json = nlohmann::json::parse(printed(report));
    EXPECT_EQ(json.at("plugin"), "/plug-ins/Caf\xc3\xa9 \"Verb\"\\\x01\xef\xbf\xbd.vst3");
    EXPECT_EQ(json.at("seed").get<std::uint64_t>(), 18446744073709551615ull);
    EXPECT_EQ(json.at("checks")[0].at("problems")[0], "a problem over two lines");
    EXPECT_TRUE(json.at("checks")[1].at("handlesLeft").is_null());
    EXPECT_EQ(json.at("summary").at("failed"), 2);
    EXPECT_EQ(json.at("exitCode"), 1);
}

Parameter stepped(std::int32_t steps)
{
    Parameter parameter;
    parameter.stepCount = steps;
    return parameter;
}

TEST(ParameterSweep, VisitsEveryStepOrAnEvenSpreadOfStepsAndReadsBackWithinHalfAStep)
{
    Random random(1);
    EXPECT_EQ(sweepValues(stepped(3), random), (std::vector<double>{0.0, 1.0 / 3, 2.0 / 3, 1.0}));
    const std::vector<double> many = sweepValues(stepped(1000), random);
    EXPECT_EQ(many.size(), static_cast<std::size_t>(kMaxSweepSteps) + 1);
    EXPECT_EQ(many.front(), 0.0);
    EXPECT_EQ(many.back(), 1.0);
    for (const double value : many)
        EXPECT_DOUBLE_EQ(value * 1000, std::round(value * 1000));
    const std::vector<double> continuous = sweepValues(stepped(0), random);
    EXPECT_EQ(continuous.size(), 21u);
    for (const double value : continuous) {
        EXPECT_GE(value, 0.0);
        EXPECT_LE(value, 1.0);
    }

    EXPECT_TRUE(readsBack(stepped(4), 0.3, 0.25));
    EXPECT_FALSE(readsBack(stepped(4), 0.3, 0.5));
    EXPECT_TRUE(readsBack(stepped(0), 0.3f, 0.3));
    EXPECT_FALSE(readsBack(stepped(0), 0.3, 0.3001));
    EXPECT_FALSE(readsBack(stepped(0), 0.3, std::nan("")));
}

TEST(RandomSource, RepeatsPerSeedAndPartAndDiffersBetweenThem)
{
    Random a = Random::derived(7, "storm", 1);
    Random b = Random::derived(7, "storm", 1);
    Random otherIndex = Random::derived(7, "storm", 2);
    Random otherPart = Random::derived(7, "state", 1);
    const std::uint64_t first = a.next();
    EXPECT_EQ(first, b.next());
    EXPECT_NE(first, otherIndex.next());
    EXPECT_NE(first, otherPart.next());
    std::set<std::int64_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::int64_t value = a.between(1, 6);
        ASSERT_GE(value, 1);
        ASSERT_LE(value, 6);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 6u);
}

} // namespace
