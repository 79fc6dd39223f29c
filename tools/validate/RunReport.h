// A whole run's findings, and the two ways of reporting them: text lines
// for people, one JSON document for programs.
#pragma once

#include "CheckResult.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace talven::validate {

struct RunReport {
    std::string plugin;
    std::uint64_t seed = 0;
    double stormSeconds = 0;
    int threads = 0;
    std::vector<CheckResult> checks;
    double seconds = 0; // the whole run

    int count(Status status) const;
    // 1 when any check failed, else 0.
    int exitCode() const;
};

// The text report: printHeader before the checks, printCheck as each ends,
// printSummary at the end.
void printHeader(std::FILE* out, const RunReport& report);
void printCheck(std::FILE* out, const CheckResult& check);
void printSummary(std::FILE* out, const RunReport& report);

// The JSON report: the same results as the text, in one document.
void printJson(std::FILE* out, const RunReport& report);

} // namespace talven::validate
