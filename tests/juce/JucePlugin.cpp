#include "JucePlugin.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cmath>
#include <cstdlib>
#include <cstring>
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

std::string readErrorFile()
{
    std::ifstream file(kErrorFile, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
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

#ifdef _WIN32
namespace {

// JUCE prints on Windows with OutputDebugStringW, which ends in a
// DBG_PRINTEXCEPTION_C raised for a debugger (Wine converts the text and
// raises it; Windows 10 does when no debugger took the wide exception first).
// The child copies each such text to its standard error, where the parent
// counts assertions as it does elsewhere.
LONG CALLBACK copyDebugString(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        const std::size_t length = text ? std::strlen(text) : 0;
        DWORD written = 0;
        if (length > 0)
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(length), &written, nullptr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Installed before main in the child and kept to the process's end: the
// plug-in's module may unload, and JUCE print, after static destructors ran.
[[maybe_unused]] const bool copyingDebugStrings =
    inJuceChild() && AddVectoredExceptionHandler(1, copyDebugString) != nullptr;

struct Handle {
    HANDLE value = INVALID_HANDLE_VALUE;
    ~Handle()
    {
        if (value != INVALID_HANDLE_VALUE && value != nullptr)
            CloseHandle(value);
    }
};

} // namespace

ChildRun runJuceChild(const std::string& filter)
{
    ChildRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    Handle errors;
    errors.value = CreateFileA(kErrorFile, GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (errors.value == INVALID_HANDLE_VALUE)
        return run;
    wchar_t self[MAX_PATH];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (selfLength == 0 || selfLength == MAX_PATH)
        return run;
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_brief=1 --gtest_filter=";
    for (char c : filter)
        commandLine += static_cast<wchar_t>(c);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = errors.value;
    PROCESS_INFORMATION process{};
    std::fflush(stdout);
    // The child inherits this variable; the parent's C runtime keeps its own
    // copy of the environment and still reads it unset.
    SetEnvironmentVariableA(kChildVariable, "1");
    const BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    if (!started)
        return run;
    Handle thread;
    thread.value = process.hThread;
    Handle child;
    child.value = process.hProcess;
    WaitForSingleObject(child.value, INFINITE);
    DWORD code = 1;
    run.exitedCleanly = GetExitCodeProcess(child.value, &code) && code == 0;
    CloseHandle(errors.value);
    errors.value = INVALID_HANDLE_VALUE;
    run.errorOutput = readErrorFile();
    return run;
}
#else
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
    run.errorOutput = readErrorFile();
    return run;
}
#endif

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

void JucePluginTest::storeAndRecallAGain()
{
    const std::uint32_t gain = param("Gain");
    EXPECT_EQ(TALVEN_SetParam(handle, gain, 0.5f), 0);
    read(4096);
    EXPECT_EQ(TALVEN_StorePreset("juce-editor.vstpreset", 0, handle), 1);
    EXPECT_EQ(TALVEN_SetParam(handle, gain, 0.1f), 0);
    read(4096);
    EXPECT_EQ(TALVEN_RecallPreset("juce-editor.vstpreset", handle), 1);
    EXPECT_NEAR(TALVEN_GetParam(handle, gain), 0.5, 1e-6);
}

} // namespace talven::test
