#include "log/TraceLog.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace talven {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

// "[YYYY-MM-DD HH:MM:SS] " with digits where the pattern has '9'.
bool startsWithTimeStamp(const std::string& text, std::size_t at)
{
    const std::string pattern = "[9999-99-99 99:99:99] ";
    if (text.size() < at + pattern.size())
        return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = text[at + i];
        if (pattern[i] == '9' ? (c < '0' || c > '9') : c != pattern[i])
            return false;
    }
    return true;
}

// True when text is exactly these messages as trace lines, in order.
bool isTrace(const std::string& text, const std::vector<std::string>& messages)
{
    std::size_t at = 0;
    for (const std::string& message : messages) {
        if (!startsWithTimeStamp(text, at))
            return false;
        at += 22;
        if (text.compare(at, message.size() + kLineEnd.size(), message + kLineEnd) != 0)
            return false;
        at += message.size() + kLineEnd.size();
    }
    return at == text.size();
}

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
    EXPECT_TRUE(isTrace(text, {std::string("first \x01\xFF line")})) << text;
}

TEST_F(TraceLogTest, AMissingFileIsCreatedAndAnExistingOneAppendedTo)
{
    writeTraceLine("one");
    writeTraceLine("two");
    writeTraceLine("");
    const std::string text = test::readTraceFile();
    EXPECT_TRUE(isTrace(text, {"one", "two", ""})) << text;
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

TEST_F(TraceLogTest, SwitchedOffNoThreadWritesALineUntilItIsSwitchedOnAgain)
{
    EXPECT_TRUE(setTraceEnabled(false));
    EXPECT_FALSE(setTraceEnabled(false));
    writeTraceLine("hidden");
    std::thread other([] { writeTraceLine("hidden elsewhere"); });
    other.join();
    EXPECT_FALSE(fs::exists(kTraceFileName));
    EXPECT_FALSE(setTraceEnabled(true));
    writeTraceLine("shown");
    EXPECT_TRUE(isTrace(test::readTraceFile(), {"shown"}));
}

TEST_F(TraceLogTest, ALongMessageIsWrittenWholeOnOneLine)
{
    const std::string message(5000, 'x');
    writeTraceLine(message);
    writeTraceLine("after");
    EXPECT_TRUE(isTrace(test::readTraceFile(), {message, "after"}));
}

} // namespace
} // namespace talven
