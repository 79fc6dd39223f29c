#include "log/TraceLog.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

namespace talven {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

// Runs the test in a fresh directory of its own, since the trace file is
// always relative to the current directory.
struct TraceLogTest : ::testing::Test {
    fs::path previous;
    fs::path directory;
    void SetUp() override
    {
        previous = fs::current_path();
        directory = previous / ("trace-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(directory);
        fs::create_directories(directory);
        fs::current_path(directory);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(directory);
    }
};

TEST_F(TraceLogTest, EachLineIsTheBracketedLocalTimeAndTheMessageByteForByte)
{
    writeTraceLine(std::string_view("first \x01\xFF line", 13));
    const std::string text = test::readTraceFile();
    const std::regex format("\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\] first \x01\xFF line" + kLineEnd);
    EXPECT_TRUE(std::regex_match(text, format)) << text;
}

TEST_F(TraceLogTest, AMissingFileIsCreatedAndAnExistingOneAppendedTo)
{
    writeTraceLine("one");
    writeTraceLine("two");
    writeTraceLine("");
    const std::string text = test::readTraceFile();
    const std::string stamp = "\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\] ";
    const std::regex format(stamp + "one" + kLineEnd + stamp + "two" + kLineEnd + stamp + kLineEnd);
    EXPECT_TRUE(std::regex_match(text, format)) << text;
}

TEST_F(TraceLogTest, AnUnopenableFileIsReportedOnStandardOutputAndNothingThrows)
{
    fs::create_directory(kTraceFileName); // a directory cannot be opened for appending
    ::testing::internal::CaptureStdout();
    writeTraceLine("lost");
    writeTraceLine("lost too");
    std::string printed = ::testing::internal::GetCapturedStdout();
    printed.erase(std::remove(printed.begin(), printed.end(), '\r'), printed.end());
    EXPECT_EQ(printed, "Error: Unable to open log file for writing.\n"
                       "Error: Unable to open log file for writing.\n");
    EXPECT_TRUE(fs::is_directory(kTraceFileName));
}

} // namespace
} // namespace talven
