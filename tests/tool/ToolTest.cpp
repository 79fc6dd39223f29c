// talven-apply as a user runs it: its output file against a reference made
// through the library directly, formats, --list, --bypass, and failures;
// --info, --list and --scan on the zam-plugins, a second implementation of
// the VST 3 interfaces.
#include "Apply.h"
#include "ToolSupport.h"

#include "bass.h"
#include "registry/Registry.h"
#include "talven.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using tooltest::runApply;
using tooltest::toolMessages;
using tooltest::ToolRun;

// No load hook runs for the statically linked library: set the registry up
// as the hook would.
class RegistryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { talven::registryLoad(); }
    void TearDown() override { talven::registryUnload(); }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new RegistryEnvironment);

const std::string kRecorder = std::string(TALVEN_TEST_PLUGIN_DIR) + "/Recorder.vst3";
const std::string kZamCompX2 = "/usr/lib/vst3/ZamCompX2.vst3";
// Five programs; program k plays at gain k/10.
const std::string kProgramGain = std::string(TALVEN_TEST_PLUGIN_DIR) + "/ProgramGain.vst3";

struct Audio {
    SF_INFO info{};
    std::vector<float> samples;
};

// A signal of its own per channel, loud and quiet stretches, not a whole
// number of the tool's blocks long.
void writeSignal(const std::string& path, int format, int rate, int channels, int frames)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> samples(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    for (int j = 0; j < frames; ++j) {
        const float level = (j / 5000) % 2 ? 0.1f : 0.8f;
        for (int c = 0; c < channels; ++c)
            samples[static_cast<size_t>(j * channels + c)] =
                level * std::sin(static_cast<float>(j) * 0.01f * static_cast<float>(c + 1)) * (c ? -0.5f : 1.0f);
    }
    ASSERT_EQ(sf_writef_float(file, samples.data(), frames), frames);
    sf_close(file);
}

Audio readAudio(const std::string& path)
{
    Audio audio;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &audio.info);
    if (!file)
        return audio;
    audio.samples.resize(static_cast<size_t>(audio.info.frames * audio.info.channels));
    sf_readf_float(file, audio.samples.data(), audio.info.frames);
    sf_close(file);
    return audio;
}

bool exists(const std::string& path)
{
    return std::ifstream(path).good();
}

// What the tool does, done here through the library: a decoding float
// stream, the plug-in attached, one parameter set, pulled in the tool's
// block size.
std::vector<float> referenceThroughLibrary(const std::string& plugin, const std::string& input, std::uint32_t id,
                                           float value)
{
    std::vector<float> result;
    EXPECT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, input.c_str(), 0, 0, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT);
    EXPECT_NE(stream, 0u);
    const std::uint32_t handle = TALVEN_ChannelSetDSP(stream, plugin.c_str(), 0, 0, 0, 0, 0, nullptr, "reference");
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(TALVEN_SetParam(handle, id, value), 0);
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(stream, &info);
    std::vector<float> block(talven::apply::kFramesPerPull * info.chans);
    for (;;) {
        const DWORD got = BASS_ChannelGetData(stream, block.data(), static_cast<DWORD>(block.size() * sizeof(float)));
        if (got == static_cast<DWORD>(-1))
            break;
        result.insert(result.end(), block.begin(), block.begin() + got / sizeof(float));
    }
    TALVEN_ChannelRemoveDSP(0, handle);
    BASS_StreamFree(stream);
    BASS_Free();
    return result;
}

TEST(ToolTest, TheOutputEqualsAReferenceMadeThroughTheLibraryDirectly)
{
    writeSignal("input.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 3 * 4096 + 1234);
    struct Case {
        std::string plugin;
        std::uint32_t id;
        float value;
    };
    for (const Case& each : {Case{kRecorder, 0, 0.3f}, Case{kZamCompX2, 7, 0.7f}}) {
        SCOPED_TRACE(each.plugin);
        const ToolRun run = runApply({"--set", std::to_string(each.id) + "=" + std::to_string(each.value), each.plugin,
                                 "input.wav", "output.wav"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Audio output = readAudio("output.wav");
        const Audio input = readAudio("input.wav");
        EXPECT_EQ(output.info.frames, input.info.frames);
        const std::vector<float> reference = referenceThroughLibrary(each.plugin, "input.wav", each.id, each.value);
        ASSERT_EQ(output.samples.size(), reference.size());
        EXPECT_TRUE(output.samples == reference);
        EXPECT_FALSE(output.samples == input.samples) << "the plug-in changed nothing";
    }
}

TEST(ToolTest, TheOutputKeepsTheInputsFormatRateAndChannels)
{
    writeSignal("mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 10000);
    const ToolRun run = runApply({"--set", "0=0.5", kRecorder, "mono.wav", "mono-out.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio input = readAudio("mono.wav");
    const Audio output = readAudio("mono-out.wav");
    EXPECT_EQ(output.info.format, input.info.format);
    EXPECT_EQ(output.info.samplerate, 22050);
    EXPECT_EQ(output.info.channels, 1);
    ASSERT_EQ(output.info.frames, input.info.frames);
    // Gain 0.5 is unity: the samples come back within one 16-bit step.
    for (size_t i = 0; i < input.samples.size(); ++i)
        ASSERT_NEAR(output.samples[i], input.samples[i], 1.0 / 32768 + 1e-7) << "sample " << i;
}

TEST(ToolTest, BypassWritesTheInputUntouched)
{
    writeSignal("input.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 5000);
    const ToolRun run = runApply({"--bypass", "--set", "0=1", kRecorder, "input.wav", "output.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(readAudio("output.wav").samples == readAudio("input.wav").samples);
}

// FixedLatency delays by 300 frames and says so. An impulse lands where it
// was in INPUT, or with --keep-latency exactly the latency later; OUTPUT is
// as long as INPUT either way, and the run past the end brings out the last
// frames (an impulse in the final frame), as long as the tool's blocks
// or not.
TEST(ToolTest, TheLatencyIsCompensatedUnlessItIsToBeKept)
{
    const std::string plugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/FixedLatency.vst3";
    constexpr int kLatency = 300;
    struct Case {
        int frames;
        int impulse;
        bool keep;
        int expectedAt; // -1: gone past the end
    };
    const Case cases[] = {
        {10000, 1000, false, 1000}, {10000, 1000, true, 1000 + kLatency}, {10000, 9999, false, 9999},
        {10000, 9999, true, -1},    {2 * 4096, 8000, false, 8000},         {100, 50, false, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.frames) + " frames, impulse at " + std::to_string(c.impulse) +
                     (c.keep ? ", kept" : ""));
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* file = sf_open("impulse.wav", SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        std::vector<float> samples(static_cast<size_t>(c.frames) * 2, 0.0f);
        samples[static_cast<size_t>(c.impulse) * 2] = 1.0f;
        samples[static_cast<size_t>(c.impulse) * 2 + 1] = -0.5f;
        ASSERT_EQ(sf_writef_float(file, samples.data(), c.frames), c.frames);
        sf_close(file);

        std::vector<std::string> arguments = {plugin, "impulse.wav", "delayed.wav"};
        if (c.keep)
            arguments.insert(arguments.begin(), "--keep-latency");
        const ToolRun run = runApply(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Audio output = readAudio("delayed.wav");
        ASSERT_EQ(output.info.frames, c.frames);
        std::vector<float> expected(samples.size(), 0.0f);
        if (c.expectedAt >= 0) {
            expected[static_cast<size_t>(c.expectedAt) * 2] = 1.0f;
            expected[static_cast<size_t>(c.expectedAt) * 2 + 1] = -0.5f;
        }
        EXPECT_TRUE(output.samples == expected);
    }
}

// The file is written beside OUTPUT and moved in place at the end, so the
// input is read whole before it is replaced.
TEST(ToolTest, TheOutputMayReplaceTheInput)
{
    writeSignal("same.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 9000);
    const Audio before = readAudio("same.wav");
    const ToolRun run = runApply({"--set", "0=0.25", kRecorder, "same.wav", "same.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio after = readAudio("same.wav");
    ASSERT_EQ(after.samples.size(), before.samples.size());
    for (size_t i = 0; i < before.samples.size(); ++i)
        ASSERT_EQ(after.samples[i], before.samples[i] * 0.5f) << "sample " << i;
}

TEST(ToolTest, ListPrintsEveryParameterWithItsCurrentValue)
{
    const ToolRun run = runApply({"--list", "--set", "0=0.5", kRecorder});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("index          id  title"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("    0           0  Gain                                  0.2500    0.5000"),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("    1           1  Mix                       %           1.0000    1.0000"),
              std::string::npos) << run.out;
}

TEST(ToolTest, APresetSavedWithSettingsGivesTheSameOutputWhenRecalled)
{
    writeSignal("input.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 2 * 4096 + 77);
    std::remove("gain.vstpreset");
    const ToolRun saving = runApply({"--set", "0=0.3", "--save-preset", "gain.vstpreset", kRecorder, "input.wav",
                                    "saved-out.wav"});
    ASSERT_EQ(saving.exitCode, 0) << saving.err;
    const ToolRun recalling = runApply({"--preset=gain.vstpreset", kRecorder, "input.wav", "recalled-out.wav"});
    ASSERT_EQ(recalling.exitCode, 0) << recalling.err;
    const Audio input = readAudio("input.wav");
    const Audio recalled = readAudio("recalled-out.wav");
    EXPECT_TRUE(recalled.samples == readAudio("saved-out.wav").samples);
    ASSERT_EQ(recalled.samples.size(), input.samples.size());
    EXPECT_EQ(recalled.samples[100], input.samples[100] * 0.6f);

    // --set values win over the preset; --list shows the preset's value.
    const ToolRun listed = runApply({"--list", "--preset", "gain.vstpreset", "--set", "1=0.5", kRecorder});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("    0           0  Gain                                  0.2500    0.3000"),
              std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("    1           1  Mix                       %           1.0000    0.5000"),
              std::string::npos) << listed.out;
}

// The processor takes a --set value only with a block, which a bypassed
// run never gives it; the saved preset holds the value all the same.
TEST(ToolTest, APresetSavedFromABypassedOrListingRunHoldsTheSetValues)
{
    writeSignal("input.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 3000);
    for (const std::vector<std::string>& saving :
         {std::vector<std::string>{"--bypass", "--set", "0=0.1", "--save-preset", "quiet.vstpreset", kRecorder,
                                   "input.wav", "bypassed.wav"},
          std::vector<std::string>{"--list", "--set", "0=0.1", "--save-preset", "quiet.vstpreset", kRecorder}}) {
        std::remove("quiet.vstpreset");
        const ToolRun saved = runApply(saving);
        ASSERT_EQ(saved.exitCode, 0) << saved.err;
        const ToolRun recalled = runApply({"--preset", "quiet.vstpreset", kRecorder, "input.wav", "quiet.wav"});
        ASSERT_EQ(recalled.exitCode, 0) << recalled.err;
        EXPECT_EQ(readAudio("quiet.wav").samples[100], readAudio("input.wav").samples[100] * 0.2f);
    }
}

TEST(ToolTest, ProgramsAreListedSelectedAndKeptInTheRawStateWithTheSetValuesWinning)
{
    writeSignal("input.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 3000);
    const ToolRun listed = runApply({"--programs", kProgramGain});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "0\tSilence\n1\tOne Tenth\n2\tTwo Tenths\n3\tThree Tenths\n4\tFour Tenths\n");

    std::remove("two.state");
    ASSERT_EQ(runApply({"--program", "2", "--state-out", "two.state", "--programs", kProgramGain}).exitCode, 0);
    std::ifstream state("two.state", std::ios::binary);
    std::string head(4, '\0');
    state.read(&head[0], 4);
    EXPECT_EQ(head, "VST3");

    struct Case {
        std::vector<std::string> options;
        float gain;
    };
    const Case cases[] = {
        {{"--program", "3"}, 0.3f},
        {{"--program=1"}, 0.1f},
        {{"--state-in", "two.state"}, 0.2f},
        {{"--state-in=two.state", "--program", "4"}, 0.4f},
        {{"--program", "3", "--set", "0=0.25"}, 0.25f},
        {{}, 0.5f},
    };
    const float dry = readAudio("input.wav").samples[100];
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {kProgramGain, "input.wav", "programmed.wav"});
        const ToolRun run = runApply(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(readAudio("programmed.wav").samples[100], dry * c.gain) << c.gain;
    }
}

// A plug-in that plays its side-chain input: OUTPUT is the side-chain
// FILE, frame for frame with INPUT (a mono FILE on both channels), then
// silence where FILE is shorter; FILE at another rate, or a plug-in without
// a side-chain input, fail without OUTPUT.
TEST(ToolTest, ASideChainFileIsFedFrameForFrameAndPaddedWithSilence)
{
    const std::string listen = std::string(TALVEN_TEST_PLUGIN_DIR) + "/ProbeSideChainListen.vst3";
    writeSignal("input.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, 9000);
    struct Case {
        const char* what;
        std::string plugin;
        int rate;
        int channels;
        int frames;
        bool works;
    };
    const Case cases[] = {
        {"a shorter stereo file", listen, 48000, 2, 6000, true},
        {"a mono file", listen, 48000, 1, 9000, true},
        {"a longer file", listen, 48000, 2, 12000, true},
        {"another sample rate", listen, 44100, 2, 9000, false},
        {"no side-chain input", kRecorder, 48000, 2, 9000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove("side-out.wav");
        writeSignal("side.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, c.rate, c.channels, c.frames);
        const ToolRun run = runApply({"--sidechain", "side.wav", c.plugin, "input.wav", "side-out.wav"});
        if (!c.works) {
            EXPECT_NE(run.exitCode, 0);
            EXPECT_FALSE(std::ifstream("side-out.wav").good());
            continue;
        }
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Audio side = readAudio("side.wav");
        const Audio output = readAudio("side-out.wav");
        ASSERT_EQ(output.info.frames, 9000);
        for (int j = 0; j < 9000; ++j) {
            for (int ch = 0; ch < 2; ++ch) {
                const float expected =
                    j < c.frames ? side.samples[static_cast<size_t>(j * c.channels + std::min(ch, c.channels - 1))]
                                 : 0.0f;
                ASSERT_EQ(output.samples[static_cast<size_t>(j * 2 + ch)], expected)
                    << "frame " << j << " channel " << ch;
            }
        }
    }
}

TEST(ToolTest, EveryFailurePrintsOneLineAndExitsNonZeroWithoutWritingOutput)
{
    writeSignal("input.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 1000);
    std::ofstream("not-audio.wav") << "plain text";
    std::remove("zam.vstpreset");
    ASSERT_EQ(runApply({"--list", "--save-preset", "zam.vstpreset", kZamCompX2}).exitCode, 0);
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{kRecorder, "missing.wav", "out.wav"}, 1, "cannot read missing.wav"},
        {{kRecorder, "not-audio.wav", "out.wav"}, 1, "cannot read not-audio.wav"},
        {{"/nowhere/Plugin.vst3", "input.wav", "out.wav"}, 1, "cannot load /nowhere/Plugin.vst3"},
        {{"input.wav", "input.wav", "out.wav"}, 1, "cannot load input.wav"},
        {{"--set", "0=abc", kRecorder, "input.wav", "out.wav"}, 2, "bad --set '0=abc'"},
        {{"--set", "0=1.5", kRecorder, "input.wav", "out.wav"}, 2, "bad --set '0=1.5'"},
        {{"--set", "x=0.5", kRecorder, "input.wav", "out.wav"}, 2, "bad --set 'x=0.5'"},
        {{"--set", "99=0.5", kRecorder, "input.wav", "out.wav"}, 1, "no parameter with id 99"},
        {{"--set"}, 2, "--set needs ID=VALUE"},
        {{"--loud", kRecorder, "input.wav", "out.wav"}, 2, "unknown option --loud"},
        {{kRecorder, "input.wav"}, 2, "expected PLUGIN INPUT OUTPUT"},
        {{"--preset", "missing.vstpreset", kRecorder, "input.wav", "out.wav"}, 1,
         "cannot recall preset missing.vstpreset"},
        {{"--preset", "zam.vstpreset", kRecorder, "input.wav", "out.wav"}, 1, "cannot recall preset zam.vstpreset"},
        {{"--save-preset", "/nowhere/p.vstpreset", kRecorder, "input.wav", "out.wav"}, 1,
         "cannot write preset /nowhere/p.vstpreset"},
        {{kRecorder, "input.wav", "out.wav", "--preset"}, 2, "--preset needs FILE"},
        {{"--save-preset=", kRecorder, "input.wav", "out.wav"}, 2, "--save-preset needs FILE"},
        {{"--program", "9", kProgramGain, "input.wav", "out.wav"}, 1, "bad --program 9"},
        {{"--program", "1", kRecorder, "input.wav", "out.wav"}, 1, "bad --program 1"},
        {{"--program", "-1", kProgramGain, "input.wav", "out.wav"}, 2, "bad --program '-1'"},
        {{"--program"}, 2, "--program needs N"},
        {{"--state-in", "missing.state", kRecorder, "input.wav", "out.wav"}, 1, "cannot read state missing.state"},
        {{"--state-in", "not-audio.wav", kRecorder, "input.wav", "out.wav"}, 1, "cannot give state not-audio.wav"},
        {{"--state-in", "zam.vstpreset", kRecorder, "input.wav", "out.wav"}, 1, "cannot give state zam.vstpreset"},
        {{"--state-out", "/nowhere/s.state", kRecorder, "input.wav", "out.wav"}, 1,
         "cannot write state /nowhere/s.state"},
        {{"--scan", "--programs"}, 2, "--scan takes only FOLDERs"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.says);
        const ToolRun run = runApply(each.arguments);
        EXPECT_EQ(run.exitCode, each.exitCode);
        const std::vector<std::string> messages = toolMessages(run.err);
        ASSERT_EQ(messages.size(), 1u) << run.err;
        EXPECT_NE(messages[0].find(each.says), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_FALSE(exists("out.wav"));
    }
}

TEST(ToolTest, InfoOnZamPluginsTellsWhatTheirFactoryAndBusesSay)
{
    const tooltest::PluginLeaksIgnored zamVerbLeaks;
    for (const char* name : {"ZamComp", "ZamCompX2", "ZamVerb"}) {
        SCOPED_TRACE(name);
        const std::string plugin = std::string("/usr/lib/vst3/") + name + ".vst3";
        const ToolRun run = runApply({"--info", plugin});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const tooltest::InfoText printed = tooltest::parseInfo(run.out);
        EXPECT_EQ(printed.fields.at("name"), name);
        tooltest::Attached attached(plugin);
        tooltest::expectInfoOf(attached.handle(), printed);
    }
}

TEST(ToolTest, ListShowsTheZamPluginsOwnTextForEveryParameter)
{
    const ToolRun run = runApply({"--list", "--set", "7=0.8", kZamCompX2});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    tooltest::Attached attached(kZamCompX2);
    ASSERT_EQ(TALVEN_SetParam(attached.handle(), 7, 0.8f), 0);
    const std::vector<std::string> lines = tooltest::linesOf(run.out);
    const std::int32_t rows = static_cast<std::int32_t>(lines.size()) - 1;
    for (std::int32_t row = 1; row <= rows; ++row) {
        const std::string& line = lines[static_cast<std::size_t>(row)];
        int index = -1;
        unsigned long id = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %lu", &index, &id), 2) << line;
        char text[128] = {};
        ASSERT_EQ(TALVEN_GetParamText(attached.handle(), static_cast<std::uint32_t>(id), -1.0, text, sizeof text), 1);
        const std::string end = std::string("  ") + text;
        EXPECT_EQ(line.substr(line.size() - std::min(line.size(), end.size())), end) << line;
    }
    EXPECT_EQ(rows, TALVEN_GetParamCount(attached.handle()));
    EXPECT_GT(rows, 5);
}

TEST(ToolTest, ScanOfTheSystemFolderListsEveryZamPluginAsItsModuleDoes)
{
    const tooltest::PluginLeaksIgnored zamVerbLeaks;
    const ToolRun run = runApply({"--scan", "/usr/lib/vst3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(toolMessages(run.err).empty()) << run.err;

    std::vector<std::filesystem::path> packages;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/vst3"))
        packages.push_back(entry.path());
    std::sort(packages.begin(), packages.end());
    std::vector<std::string> expected;
    for (const std::filesystem::path& package : packages) {
        const std::vector<std::string> lines = tooltest::moduleScanLines(package.string(), package.string());
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    const std::vector<std::string> lines = tooltest::linesOf(run.out);
    EXPECT_EQ(lines, expected);

    // Every zam plug-in, each an audio effect of its own package.
    std::set<std::string> effects;
    for (const std::string& line : lines) {
        if (line.find("\tAudio Module Class\t") != std::string::npos)
            effects.insert(line.substr(line.rfind('\t') + 1));
    }
    EXPECT_EQ(effects.size(), 17u);
    EXPECT_EQ(effects.count(kZamCompX2), 1u);
}

} // namespace
