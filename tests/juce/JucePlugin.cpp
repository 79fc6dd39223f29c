#include "JucePlugin.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace talven::test {
namespace {

constexpr const char* kChildVariable = "TALVEN_JUCE_CHILD";
constexpr const char* kErrorFile = "juce-child-stderr.txt";
constexpr double kPi = 3.14159265358979323846;

DWORD CALLBACK produce(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto& signal = *static_cast<SourceSignal*>(user);
    auto* samples = static_cast<float*>(buffer);
    const DWORD frames = length / (2 * sizeof(float));
    const long long first = signal.produced.fetch_add(frames);
    for (DWORD i = 0; i < frames; ++i)
        samples[2 * i] = samples[2 * i + 1] = signal.sample(first + i);
    return frames * 2 * sizeof(float);
}

bool titled(const TALVEN_PARAMETERINFO& info, const char* title)
{
    std::size_t i = 0;
    for (; title[i]; ++i) {
        if (info.title[i] != static_cast<unsigned char>(title[i]))
            return false;
    }
    return info.title[i] == 0;
}

} // namespace

bool inJuceChild()
{
    return std::getenv(kChildVariable) != nullptr;
}

ChildRun runJuceChild(const std::string& filter)
{
    ChildRun run;
    const int errors = open(kErrorFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (errors < 0)
        return run;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        dup2(errors, 2);
        setenv(kChildVariable, "1", 1);
        const std::string filterArgument = "--gtest_filter=" + filter;
        execl("/proc/self/exe", "talven_juce_tests", filterArgument.c_str(), "--gtest_brief=1",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(errors);
    if (child < 0)
        return run;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    run.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream file(kErrorFile, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    run.errorOutput = text.str();
    return run;
}

int countJuceAssertions(const std::string& text)
{
    int count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("JUCE Assertion failure") != std::string::npos)
            ++count;
    }
    return count;
}

float SourceSignal::sample(long long frame) const
{
    const long long impulse = impulseAt.load();
    if (impulse >= 0)
        return frame == impulse ? 1.0f : 0.0f;
    return static_cast<float>(0.5 * std::sin(2.0 * kPi * 440.0 * static_cast<double>(frame) / 48000.0));
}

void JucePluginTest::SetUp()
{
    if (!inJuceChild())
        GTEST_SKIP() << "runs in the child that JuceAssertions starts";
    ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr));
    stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, produce, &signal);
    ASSERT_NE(stream, 0u);
    handle = TALVEN_ChannelSetDSP(stream, TALVEN_JUCE_PLUGIN_PATH, 0, 0, 0, 0, 0, nullptr, nullptr);
    ASSERT_NE(handle, 0u);
}

void JucePluginTest::TearDown()
{
    if (!inJuceChild())
        return;
    if (handle != 0) {
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    }
    BASS_Free();
}

std::uint32_t JucePluginTest::param(const char* title)
{
    const int count = TALVEN_GetParamCount(handle);
    for (int i = 0; i < count; ++i) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, i, &info) == 0 && titled(info, title))
            return info.id;
    }
    ADD_FAILURE() << "no parameter titled " << title;
    return 0xFFFFFFFEu;
}

std::vector<float> JucePluginTest::read(int frames)
{
    std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
    std::size_t done = 0;
    while (done < samples.size()) {
        const DWORD bytes = BASS_ChannelGetData(stream, samples.data() + done,
                                                static_cast<DWORD>((samples.size() - done) * sizeof(float)));
        if (bytes == static_cast<DWORD>(-1) || bytes == 0) {
            ADD_FAILURE() << "the channel gave no more data";
            break;
        }
        done += bytes / sizeof(float);
    }
    position_ += frames;
    return samples;
}

TALVEN_INFO JucePluginTest::info()
{
    TALVEN_INFO result{};
    result.size = sizeof result;
    result.plugin.size = sizeof result.plugin;
    EXPECT_EQ(TALVEN_GetInfo(handle, &result), 1);
    return result;
}

} // namespace talven::test
