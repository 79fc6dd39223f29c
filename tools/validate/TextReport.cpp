#include "RunReport.h"

#include "Text.h"

#include <algorithm>

namespace talven::validate {
namespace {

// Problems listed per check in the text; the JSON has all that were kept.
constexpr std::size_t kShownProblems = 5;

std::string leftover(std::int64_t count)
{
    return count < 0 ? "-" : std::to_string(count);
}

} // namespace

int RunReport::count(Status status) const
{
    return static_cast<int>(
        std::count_if(checks.begin(), checks.end(), [status](const CheckResult& c) { return c.status == status; }));
}

int RunReport::exitCode() const
{
    return count(Status::Fail) > 0 ? 1 : 0;
}

void printHeader(std::FILE* out, const RunReport& report)
{
    std::fprintf(out, "talven-validate: %s\n", report.plugin.c_str());
    std::fprintf(out, "seed %llu, storm %s s on %d threads\n", static_cast<unsigned long long>(report.seed),
                 fixed(report.stormSeconds, 1).c_str(), report.threads);
    std::fflush(out);
}

void printCheck(std::FILE* out, const CheckResult& check)
{
    std::fprintf(out, "%-12s %-4s %9llu ops %5llu failures  handles %s  DSPs %s %8s s  %s\n", check.name.c_str(),
                 statusName(check.status), static_cast<unsigned long long>(check.operations),
                 static_cast<unsigned long long>(check.failures), leftover(check.handlesLeft).c_str(),
                 leftover(check.dspsLeft).c_str(), fixed(check.seconds, 2).c_str(), check.summary.c_str());
    for (std::size_t i = 0; i < check.problems.size() && i < kShownProblems; ++i)
        std::fprintf(out, "    problem: %s\n", check.problems[i].c_str());
    if (check.failures > kShownProblems)
        std::fprintf(out, "    ... %llu failures in all\n", static_cast<unsigned long long>(check.failures));
    for (const std::string& flag : check.flags)
        std::fprintf(out, "    flag: %s\n", flag.c_str());
    std::fflush(out);
}

void printSummary(std::FILE* out, const RunReport& report)
{
    std::fprintf(out, "summary: %d passed, %d flagged, %d failed, %d skipped in %s s (seed %llu)\n",
                 report.count(Status::Pass), report.count(Status::Flag), report.count(Status::Fail),
                 report.count(Status::Skip), fixed(report.seconds, 1).c_str(),
                 static_cast<unsigned long long>(report.seed));
    std::fflush(out);
}

} // namespace talven::validate
