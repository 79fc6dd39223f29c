#include "ToolSupport.h"

#include "ChildProcess.h"
#include "talven.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tooltest {
namespace {

// Windows programs end their lines with "\r\n" on standard output.
std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

DWORD CALLBACK silence(HSTREAM, void* buffer, DWORD length, void*)
{
    std::fill_n(static_cast<unsigned char*>(buffer), length, 0);
    return length;
}

std::string samples(std::int64_t count)
{
    return std::to_string(count) + (count == 1 ? " sample" : " samples");
}

} // namespace

ToolRun runApply(const std::vector<std::string>& arguments)
{
    static int runs = 0;
    const std::string stem = "apply-run-" + std::to_string(++runs);
    const talven::validate::ProcessEnd end = talven::validate::runProcess(
        TALVEN_APPLY_PATH, arguments, stem + ".out", stem + ".err", std::chrono::seconds(300));
    ToolRun run;
    run.exitCode = end.kind == talven::validate::ProcessEnd::Exited ? static_cast<int>(end.code) : -1;
    run.out = readAll(stem + ".out");
    run.err = readAll(stem + ".err");
    return run;
}

PluginLeaksIgnored::PluginLeaksIgnored()
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
    const char* options = std::getenv("ASAN_OPTIONS");
    savedOptions_ = options ? std::optional<std::string>(options) : std::nullopt;
    setenv("ASAN_OPTIONS", (savedOptions_ ? *savedOptions_ + ":" : std::string()).append("detect_leaks=0").c_str(), 1);
#endif
}

PluginLeaksIgnored::~PluginLeaksIgnored()
{
#if defined(__SANITIZE_ADDRESS__)
    if (savedOptions_)
        setenv("ASAN_OPTIONS", savedOptions_->c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    __lsan_enable();
#endif
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> toolMessages(const std::string& err)
{
    std::vector<std::string> messages;
    for (const std::string& line : linesOf(err)) {
        if (line.rfind("talven-apply: ", 0) == 0)
            messages.push_back(line);
    }
    return messages;
}

std::string testPlugin(const char* name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

std::vector<std::string> moduleScanLines(const std::string& path, const std::string& listedAs)
{
    std::vector<TALVEN_CLASSINFO> classes(16);
    classes[0].size = sizeof(TALVEN_CLASSINFO);
    const std::int32_t count = TALVEN_GetModuleClasses(path.c_str(), classes.data(), 16);
    EXPECT_GT(count, 0) << path;
    std::vector<std::string> lines;
    for (std::int32_t i = 0; i < count; ++i) {
        const TALVEN_CLASSINFO& each = classes[static_cast<std::size_t>(i)];
        lines.push_back(std::string("module\t") + each.name + "\t" + each.vendor + "\t" + each.category + "\t" +
                        each.subCategories + "\t" + each.version + "\t" + each.classId + "\t" + listedAs);
    }
    return lines;
}

Attached::Attached(const std::string& plugin)
{
    EXPECT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    stream_ = BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT, silence, nullptr);
    handle_ = TALVEN_ChannelSetDSP(stream_, plugin.c_str(), 0, 0, 0, 0, 0, nullptr, "test");
    EXPECT_NE(handle_, 0u) << plugin;
}

Attached::~Attached()
{
    BASS_StreamFree(stream_);
    BASS_Free();
}

InfoText parseInfo(const std::string& out)
{
    InfoText info;
    bool inClasses = false;
    for (const std::string& line : linesOf(out)) {
        if (inClasses) {
            info.classLines.push_back(line);
            continue;
        }
        std::string label = line.substr(0, 16);
        label.erase(label.find_last_not_of(' ') + 1);
        info.fields[label] = line.size() > 17 ? line.substr(17) : std::string();
        inClasses = label == "module classes";
    }
    return info;
}

void expectInfoOf(std::uint32_t handle, const InfoText& printed)
{
    TALVEN_INFO info{};
    info.size = sizeof info;
    ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
    const std::map<std::string, std::string> expected = {
        {"name", info.plugin.name},
        {"vendor", info.plugin.vendor},
        {"version", info.plugin.version},
        {"category", info.plugin.category},
        {"sub-categories", info.plugin.subCategories},
        {"sdk version", info.plugin.sdkVersion},
        {"class id", info.plugin.classId},
        {"input channels", std::to_string(info.inputChannels)},
        {"output channels", std::to_string(info.outputChannels)},
        {"latency", samples(info.latencySamples)},
        {"tail", info.tailSamples == 0xFFFFFFFFu ? "infinite" : samples(info.tailSamples)},
        {"editor", info.hasEditor ? "yes" : "no"},
        {"parameters", std::to_string(info.parameterCount)},
    };
    for (const auto& [label, value] : expected)
        EXPECT_EQ(printed.fields.count(label) ? printed.fields.at(label) : "(missing)", value) << label;
}

} // namespace tooltest
