// Runs talven-validate as a user does and reads what it printed.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace validatetest {

struct ValidatorRun {
    int exitCode = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// talven-validate with arguments; stdout and stderr apart.
ValidatorRun runValidator(const std::vector<std::string>& arguments);

// The package folder of a test plug-in, as the validator sees it.
std::string testPlugin(const char* name);

// The quick form the tests use: a short storm on two threads.
std::vector<std::string> quickRun(const std::string& plugin, std::vector<std::string> extra = {});

// One check's line of the text report.
struct TextCheck {
    std::string name;
    std::string result;
    std::uint64_t operations = 0;
    std::uint64_t failures = 0;
};
std::vector<TextCheck> textChecks(const std::string& out);

// The checks that failed in a JSON report, in order.
std::vector<std::string> failedChecks(const nlohmann::json& report);

} // namespace validatetest
