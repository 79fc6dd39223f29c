#include "Runner.h"

#include "ChildMain.h"
#include "ChildProcess.h"
#include "Random.h"
#include "RunReport.h"
#include "ScratchFolder.h"
#include "checks/Check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace talven::validate {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Far beyond what a check takes under ThreadSanitizer: only a hang gets
// there. The editor's 100 rounds take minutes under Wine without a window
// manager, where each hide waits 2 s for the X server.
std::chrono::seconds timeoutFor(const std::string& check, double stormSeconds)
{
    if (check == "editor")
        return std::chrono::seconds(900);
    const auto base = std::chrono::seconds(300);
    return check == "storm" ? base + std::chrono::seconds(static_cast<long long>(2 * stormSeconds)) : base;
}

// Where the first line a sanitizer or the C++ runtime wrote starts, or npos.
std::size_t firstReport(const std::string& output)
{
    static const char* const kMarkers[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                           "WARNING: ThreadSanitizer", "runtime error:", "terminate called"};
    std::size_t first = std::string::npos;
    for (const char* marker : kMarkers)
        first = std::min(first, output.find(marker));
    return first == std::string::npos ? first : output.rfind('\n', first) + 1; // npos + 1 is 0
}

// count lines of text from start on, ending in a line end.
std::string linesFrom(const std::string& text, std::size_t start, std::size_t count)
{
    std::size_t end = start;
    for (std::size_t lines = 0; end < text.size() && lines < count; ++end) {
        if (text[end] == '\n')
            ++lines;
    }
    std::string lines = text.substr(start, end - start);
    if (!lines.empty() && lines.back() != '\n')
        lines += '\n';
    return lines;
}

// The start of the last count lines of text.
std::size_t lastLinesStart(const std::string& text, std::size_t count)
{
    std::size_t start = text.size();
    if (start > 0 && text[start - 1] == '\n')
        --start;
    for (std::size_t lines = 0; start > 0; --start) {
        if (text[start - 1] == '\n' && ++lines == count)
            break;
    }
    return start;
}

// What the reader needs of a failed process's output: the sanitizer's
// report when there is one, else how it ended.
std::string excerpt(const std::string& output)
{
    const std::size_t report = firstReport(output);
    return report == std::string::npos ? linesFrom(output, lastLinesStart(output, 60), 60)
                                       : linesFrom(output, report, 200);
}

CheckResult failedRun(const std::string& check, const std::string& why)
{
    CheckResult result;
    result.name = check;
    result.status = Status::Fail;
    result.failures = 1;
    result.problems.push_back(why);
    return result;
}

CheckResult runInChild(const Options& options, std::uint64_t seed, const std::string& check)
{
    const auto start = Clock::now();
    ScratchFolder scratch;
    if (!scratch.ok())
        return failedRun(check, "cannot make a scratch folder");
    const std::string outputPath = scratch.file("output.txt");
    const std::chrono::seconds timeout = timeoutFor(check, options.seconds);
    const ProcessEnd end = runProcess(ownProgramPath(), childArguments(options, seed, check, scratch.utf8()),
                                      outputPath, std::string(), timeout);
    std::optional<CheckResult> result = deserialize(readTextFile(scratch.file(kResultFileName)));
    if (end.kind == ProcessEnd::Exited && end.code == 0 && result)
        return *result;

    // Whatever the check found before its process went wrong stays.
    CheckResult failed;
    if (result) {
        failed = *result;
    } else {
        failed.name = check;
        failed.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    const std::string output = readTextFile(outputPath);
    const std::size_t report = firstReport(output);
    std::string why = "the check's process " + describeEnd(end, timeout) + (result ? " after the check" : "");
    if (report != std::string::npos)
        why += ": " + output.substr(report, output.find('\n', report) - report);
    failed.status = Status::Fail;
    ++failed.failures;
    failed.problems.insert(failed.problems.begin(), why);
    std::fprintf(stderr, "--- talven-validate: %s check: %s; from its output:\n%s--- end of the %s check's output\n",
                 check.c_str(), why.c_str(), excerpt(output).c_str(), check.c_str());
    std::fflush(stderr);
    return failed;
}

CheckResult notRun(const std::string& check)
{
    CheckResult result;
    result.name = check;
    result.status = Status::Skip;
    result.summary = "not run: the plug-in could not be attached";
    return result;
}

} // namespace

int runValidation(const Options& options)
{
    const auto start = Clock::now();
    std::error_code error;
    const fs::path path = fs::u8path(options.plugin);
    if (!fs::exists(path, error)) {
        std::fprintf(stderr, "talven-validate: cannot find %s\n", options.plugin.c_str());
        return 1;
    }
    Options run = options;
    const fs::path absolute = fs::absolute(path, error);
    run.plugin = error ? options.plugin : absolute.u8string();

    RunReport report;
    report.plugin = run.plugin;
    report.seed = options.seed ? *options.seed : freshSeed();
    report.stormSeconds = options.seconds;
    report.threads = options.threads;
    if (!options.json)
        printHeader(stdout, report);
    bool usable = true;
    for (const CheckEntry& entry : allChecks()) {
        CheckResult result = usable ? runInChild(run, report.seed, entry.name) : notRun(entry.name);
        usable = usable && !result.unusable;
        if (!options.json)
            printCheck(stdout, result);
        report.checks.push_back(std::move(result));
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (options.json)
        printJson(stdout, report);
    else
        printSummary(stdout, report);
    return report.exitCode();
}

} // namespace talven::validate
