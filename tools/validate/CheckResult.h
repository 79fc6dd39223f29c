// What one check found: the line it gets in the report, and the record a
// check's child process hands back to the parent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talven::validate {

enum class Status { Pass, Flag, Fail, Skip };

const char* statusName(Status status);

struct CheckResult {
    std::string name;
    Status status = Status::Pass;
    std::uint64_t operations = 0;
    std::uint64_t failures = 0;      // failed conditions, at least problems.size()
    double seconds = 0;
    std::int64_t handlesLeft = -1;   // live instance handles at the end; -1: not measured
    std::int64_t dspsLeft = -1;      // DSPs and syncs the library left on live channels; -1: not measured
    std::string summary;             // what was done, one line
    std::vector<std::string> problems; // why it failed, first ones only
    std::vector<std::string> flags;    // remarks that do not fail it
    bool unusable = false;           // the plug-in could not be attached at all
};

// Collects a check's findings while it runs, then gives the result. Used by
// the thread running the check; problem() may be called from the check's
// worker threads only under the caller's own lock.
class Outcome {
public:
    explicit Outcome(std::string name) { result_.name = std::move(name); }

    void operation(std::uint64_t count = 1) { result_.operations += count; }
    void problem(const std::string& text);
    void flag(const std::string& text);
    void skip(const std::string& why);
    void summary(const std::string& text) { result_.summary = text; }
    void leftovers(std::int64_t handles, std::int64_t dsps);
    void unusable() { result_.unusable = true; }
    bool censusTaken() const { return result_.handlesLeft >= 0; }

    std::uint64_t failures() const { return result_.failures; }
    std::uint64_t operations() const { return result_.operations; }

    // The result with its status: fail with any problem, else skip, flag or pass.
    CheckResult finish(double seconds);

private:
    CheckResult result_;
    bool skipped_ = false;
};

// The result as the lines of a result file, and back (nothing when the text
// is not a whole result).
std::string serialize(const CheckResult& result);
std::optional<CheckResult> deserialize(const std::string& text);

} // namespace talven::validate
