#include "ValidatorRun.h"

#include "ChildProcess.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace validatetest {
namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

ValidatorRun runValidator(const std::vector<std::string>& arguments)
{
    static int runs = 0;
    const std::string stem = "validate-run-" + std::to_string(++runs);
    const talven::validate::ProcessEnd end = talven::validate::runProcess(
        TALVEN_VALIDATE_PATH, arguments, stem + ".out", stem + ".err", std::chrono::seconds(900));
    ValidatorRun run;
    run.exitCode = end.kind == talven::validate::ProcessEnd::Exited ? static_cast<int>(end.code) : -1;
    run.out = readAll(stem + ".out");
    run.err = readAll(stem + ".err");
    return run;
}

std::string testPlugin(const char* name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

std::vector<std::string> quickRun(const std::string& plugin, std::vector<std::string> extra)
{
    std::vector<std::string> arguments{"--seconds", "1", "--threads", "2"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.push_back(plugin);
    return arguments;
}

std::vector<TextCheck> textChecks(const std::string& out)
{
    std::vector<TextCheck> checks;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        char name[32] = {};
        char result[8] = {};
        unsigned long long operations = 0;
        unsigned long long failures = 0;
        if (std::sscanf(line.c_str(), "%31s %7s %llu ops %llu failures", name, result, &operations, &failures) == 4)
            checks.push_back(TextCheck{name, result, operations, failures});
    }
    return checks;
}

std::vector<std::string> failedChecks(const nlohmann::json& report)
{
    std::vector<std::string> failed;
    for (const auto& check : report.at("checks")) {
        if (check.at("result") == "fail")
            failed.push_back(check.at("name"));
    }
    return failed;
}

} // namespace validatetest
