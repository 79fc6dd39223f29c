// talven-apply --info and --list against what the library answers this
// program directly for the same plug-in: both targets, the test plug-ins.
#include "ToolSupport.h"

#include "talven.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace tooltest;

TEST(InfoTest, InfoPrintsTheAttachedPluginsDescriptionAndEveryClassOfItsModule)
{
    for (const char* name : {"Recorder", "TwoEffects", "ControllerFirst"}) {
        SCOPED_TRACE(name);
        const std::string plugin = testPlugin(name);
        const ToolRun run = runApply({"--info", plugin});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const InfoText printed = parseInfo(run.out);
        Attached attached(plugin);
        expectInfoOf(attached.handle(), printed);

        // Every class in the factory's order, the attached one marked.
        std::vector<TALVEN_CLASSINFO> classes(16);
        classes[0].size = sizeof(TALVEN_CLASSINFO);
        classes.resize(static_cast<std::size_t>(std::max(TALVEN_GetModuleClasses(plugin.c_str(), classes.data(), 16), 0)));
        ASSERT_FALSE(classes.empty());
        EXPECT_EQ(printed.fields.at("module classes"), std::to_string(classes.size()));
        ASSERT_EQ(printed.classLines.size(), classes.size()) << run.out;
        for (std::size_t i = 0; i < classes.size(); ++i) {
            const std::string& line = printed.classLines[i];
            const bool attachedClass = printed.fields.at("class id") == classes[i].classId;
            EXPECT_EQ(line.rfind(std::string(attachedClass ? "* " : "  ") + classes[i].classId, 0), 0u) << line;
            EXPECT_NE(line.find(std::string("  ") + classes[i].category + "  "), std::string::npos) << line;
            EXPECT_NE(line.find(std::string("  ") + classes[i].name + "  ("), std::string::npos) << line;
        }
    }
}

TEST(InfoTest, ListShowsEachParametersCurrentValueAsThePluginWritesIt)
{
    const std::string plugin = testPlugin("Recorder");
    const ToolRun run = runApply({"--list", "--set", "0=0.3", plugin});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(lines[0].substr(lines[0].size() - 13), "current  text") << lines[0];

    Attached attached(plugin);
    ASSERT_EQ(TALVEN_SetParam(attached.handle(), 0, 0.3f), 0);
    for (std::uint32_t id : {0u, 1u}) {
        char text[128] = {};
        ASSERT_EQ(TALVEN_GetParamText(attached.handle(), id, -1.0, text, sizeof text), 1);
        ASSERT_NE(text[0], '\0');
        const std::string& line = lines[1 + id];
        const std::string end = std::string("  ") + text;
        EXPECT_EQ(line.substr(line.size() - std::min(line.size(), end.size())), end) << line;
    }
}

TEST(InfoTest, InfoAndScanFailuresSayWhyInOneLine)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string says;
    };
    std::vector<Case> cases = {
        {{"--info", "nowhere/Plugin.vst3"}, 1, "cannot load nowhere/Plugin.vst3"},
        {{"--info", testPlugin("NoFactory")}, 1, "not a VST 3 audio effect"},
        {{"--info"}, 2, "expected PLUGIN"},
        {{"--info", "--scan"}, 2, "--scan takes only FOLDERs"},
        {{"--scan", "--set", "0=1"}, 2, "--scan takes only FOLDERs"},
    };
#ifdef _WIN32
    // No libsndfile for MinGW-w64: this build processes no files, and says so.
    cases.push_back({{testPlugin("Recorder"), "in.wav", "out.wav"}, 1, "processes no audio files"});
#endif
    for (const Case& each : cases) {
        SCOPED_TRACE(each.says);
        const ToolRun run = runApply(each.arguments);
        EXPECT_EQ(run.exitCode, each.exitCode);
        const std::vector<std::string> messages = toolMessages(run.err);
        ASSERT_EQ(messages.size(), 1u) << run.err;
        EXPECT_NE(messages[0].find(each.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

} // namespace
