#include "CheckResult.h"

#include <cstdlib>
#include <sstream>

namespace talven::validate {
namespace {

constexpr std::size_t kKeptTexts = 20;

// One line of text: a result file holds one value per line.
std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

std::optional<Status> parseStatus(const std::string& text)
{
    for (const Status status : {Status::Pass, Status::Flag, Status::Fail, Status::Skip}) {
        if (text == statusName(status))
            return status;
    }
    return std::nullopt;
}

} // namespace

const char* statusName(Status status)
{
    switch (status) {
    case Status::Pass:
        return "pass";
    case Status::Flag:
        return "flag";
    case Status::Fail:
        return "fail";
    case Status::Skip:
        return "skip";
    }
    return "fail";
}

void Outcome::problem(const std::string& text)
{
    ++result_.failures;
    if (result_.problems.size() < kKeptTexts)
        result_.problems.push_back(oneLine(text));
}

void Outcome::flag(const std::string& text)
{
    if (result_.flags.size() < kKeptTexts)
        result_.flags.push_back(oneLine(text));
}

void Outcome::skip(const std::string& why)
{
    skipped_ = true;
    result_.summary = why;
}

void Outcome::leftovers(std::int64_t handles, std::int64_t dsps)
{
    result_.handlesLeft = handles;
    result_.dspsLeft = dsps;
    if (handles > 0)
        problem(std::to_string(handles) + " instance handle(s) still live after every instance was detached");
    if (dsps > 0)
        problem(std::to_string(dsps) + " DSP(s) or sync(s) left on channels after every instance was detached");
}

CheckResult Outcome::finish(double seconds)
{
    result_.seconds = seconds;
    if (result_.failures > 0)
        result_.status = Status::Fail;
    else if (skipped_)
        result_.status = Status::Skip;
    else if (!result_.flags.empty())
        result_.status = Status::Flag;
    else
        result_.status = Status::Pass;
    return result_;
}

std::string serialize(const CheckResult& result)
{
    std::ostringstream out;
    out.precision(17);
    out << "name " << oneLine(result.name) << '\n'
        << "status " << statusName(result.status) << '\n'
        << "operations " << result.operations << '\n'
        << "failures " << result.failures << '\n'
        << "seconds " << result.seconds << '\n'
        << "handles " << result.handlesLeft << '\n'
        << "dsps " << result.dspsLeft << '\n'
        << "unusable " << (result.unusable ? 1 : 0) << '\n'
        << "summary " << oneLine(result.summary) << '\n';
    for (const std::string& problem : result.problems)
        out << "problem " << problem << '\n';
    for (const std::string& flag : result.flags)
        out << "flag " << flag << '\n';
    out << "end\n";
    return out.str();
}

std::optional<CheckResult> deserialize(const std::string& text)
{
    CheckResult result;
    std::istringstream in(text);
    std::string line;
    bool ended = false;
    bool statusSeen = false;
    while (std::getline(in, line)) {
        const std::string::size_type space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (key == "name") {
            result.name = value;
        } else if (key == "status") {
            const std::optional<Status> status = parseStatus(value);
            if (!status)
                return std::nullopt;
            result.status = *status;
            statusSeen = true;
        } else if (key == "operations") {
            result.operations = std::strtoull(value.c_str(), nullptr, 10);
        } else if (key == "failures") {
            result.failures = std::strtoull(value.c_str(), nullptr, 10);
        } else if (key == "seconds") {
            result.seconds = std::strtod(value.c_str(), nullptr);
        } else if (key == "handles") {
            result.handlesLeft = std::strtoll(value.c_str(), nullptr, 10);
        } else if (key == "dsps") {
            result.dspsLeft = std::strtoll(value.c_str(), nullptr, 10);
        } else if (key == "unusable") {
            result.unusable = value == "1";
        } else if (key == "summary") {
            result.summary = value;
        } else if (key == "problem") {
            result.problems.push_back(value);
        } else if (key == "flag") {
            result.flags.push_back(value);
        } else if (key == "end") {
            ended = true;
        }
    }
    if (!ended || !statusSeen || result.name.empty())
        return std::nullopt;
    return result;
}

} // namespace talven::validate
