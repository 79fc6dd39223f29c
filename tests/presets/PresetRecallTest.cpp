// Store and recall through the shared library, on the PresetProbe plug-in
// attached to a decode channel of the BASS-compatible engine.
#include "PresetRecallFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace talven {
namespace {

using test::Bytes;
using test::Names;
using test::ProbeControls;
using test::kProbeClassText;
using PresetRecallTest = test::PresetRecallFixture;

TEST_F(PresetRecallTest, AStoreWritesBothStatesThenHandsThemBackInOrderOnTheCallersThread)
{
    const std::string path = folder.path("Warm Pad.vstpreset");
    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0xFFFFFFFF, handle), 1);

    EXPECT_EQ(test::hex(test::readFileBytes(path)),
              test::hex(test::presetFile(kProbeClassText, {{"Comp", componentState}, {"Cont", controllerState}})));
    const Names expected = {"Component::getState",
                            "Controller::getState",
                            "Component::setState a0a1a2a3a4",
                            "Component::fileName 0 Warm Pad.vstpreset",
                            "Controller::setComponentState a0a1a2a3a4",
                            "Controller::setState c0c1c2"};
    EXPECT_EQ(stateCalls(), expected);
    if (!test::isolatedRun()) { // isolated, talven-host makes the calls on a thread of its own
        const unsigned long long self = probe.threadTag();
        for (const auto& call : probe.calls())
            EXPECT_EQ(call.thread, self) << call.name;
    }
    // The plug-in keeps running throughout.
    for (const std::string& name : probe.callNames()) {
        EXPECT_EQ(name.find("setProcessing"), std::string::npos);
        EXPECT_EQ(name.find("setActive"), std::string::npos);
    }
    EXPECT_EQ(folder.names(), Names{"Warm Pad.vstpreset"});
}

TEST_F(PresetRecallTest, ARecallBringsBackTheStoredStatesAndTellsThePlugInTheFileName)
{
    const std::string path = folder.path("Deep Bass.vstpreset");
    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 1);
    controls.states(test::pattern(9, 1), test::pattern(4, 2));
    probe.clear();

    EXPECT_EQ(TALVEN_RecallPreset(path.c_str(), handle), 1);
    EXPECT_EQ(controls.state(0), componentState);
    EXPECT_EQ(controls.state(1), controllerState);
    const Names expected = {"Component::setState a0a1a2a3a4", "Component::fileName 0 Deep Bass.vstpreset",
                            "Controller::setComponentState a0a1a2a3a4", "Controller::setState c0c1c2"};
    EXPECT_EQ(stateCalls(), expected);
}

TEST_F(PresetRecallTest, AStoreWhoseGetStateFailsKeepsTheOldPresetAndLoadsNothingBack)
{
    const std::string path = folder.path("Keep.vstpreset");
    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 1);
    const Bytes stored = test::readFileBytes(path);

    controls.states(test::pattern(40, 7), test::pattern(40, 9));
    for (int failing = 0; failing < 2; ++failing) {
        SCOPED_TRACE(failing == 0 ? "component fails" : "controller fails");
        controls.results(failing == 0 ? Steinberg::kResultFalse : Steinberg::kResultOk,
                         failing == 1 ? Steinberg::kInternalError : Steinberg::kResultOk, Steinberg::kResultOk);
        probe.clear();
        EXPECT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 0);
        EXPECT_EQ(test::readFileBytes(path), stored);
        EXPECT_EQ(folder.names(), Names{"Keep.vstpreset"});
        for (const std::string& name : stateCalls())
            EXPECT_EQ(name.find("setState"), std::string::npos) << name;
    }
}

TEST_F(PresetRecallTest, AComponentRefusingItsStateLeavesTheControllerAloneAndTheRecallFails)
{
    const std::string path = folder.path("Refused.vstpreset");
    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 1);
    controls.states(test::pattern(2, 1), test::pattern(2, 2));
    controls.results(Steinberg::kResultOk, Steinberg::kResultOk, Steinberg::kResultFalse);
    probe.clear();
    EXPECT_EQ(TALVEN_RecallPreset(path.c_str(), handle), 0);
    EXPECT_EQ(stateCalls(), (Names{"Component::setState a0a1a2a3a4", "Component::fileName 0 Refused.vstpreset"}));
    EXPECT_EQ(controls.state(1), test::pattern(2, 2));
}

TEST_F(PresetRecallTest, RecallsThatCannotApplyAFileReturn0AndReachNoPlugIn)
{
    const std::string other = folder.path("Other.vstpreset");
    test::writeFileBytes(other, test::presetFile("7A1E00025E7A4C119D3B2F600000A002", {{"Comp", {1, 2, 3}}}));
    const std::string damaged = folder.path("Damaged.vstpreset");
    Bytes cut = test::presetFile(kProbeClassText, {{"Comp", {1, 2, 3}}});
    cut.resize(cut.size() - 21);
    test::writeFileBytes(damaged, cut);

    EXPECT_EQ(TALVEN_RecallPreset(other.c_str(), handle), 0);
    EXPECT_EQ(TALVEN_RecallPreset(damaged.c_str(), handle), 0);
    EXPECT_EQ(TALVEN_RecallPreset(folder.path("Missing.vstpreset").c_str(), handle), 0);
    EXPECT_EQ(TALVEN_RecallPreset(folder.path("").c_str(), handle), 0);
    EXPECT_EQ(TALVEN_RecallPreset(nullptr, handle), 0);
    EXPECT_TRUE(stateCalls().empty());
}

TEST_F(PresetRecallTest, ARecallPathOf1024BytesIsRefusedRatherThanCutToAnotherFilesName)
{
    const std::string name = "Cut.vstpreset";
    ASSERT_EQ(TALVEN_StorePreset(folder.path(name).c_str(), 0, handle), 1);
    // "scratch-N/././.../Cut.vstpreset", 1023 bytes: the file just stored.
    const std::string folderPart = folder.path("");
    const std::size_t padding = 1023 - folderPart.size() - name.size();
    std::string path = folderPart;
    for (std::size_t i = 0; i < padding / 2; ++i)
        path += "./";
    if (padding % 2)
        path += "/";
    path += name;
    ASSERT_EQ(path.size(), 1023u);
    probe.clear();
#ifndef _WIN32 // Windows limits paths to 260 characters
    EXPECT_EQ(TALVEN_RecallPreset(path.c_str(), handle), 1);
    EXPECT_FALSE(stateCalls().empty());
#endif
    probe.clear();
    EXPECT_EQ(TALVEN_RecallPreset((path + "x").c_str(), handle), 0);
    EXPECT_TRUE(stateCalls().empty());
}

TEST_F(PresetRecallTest, TheFileNameIsCutTo127UnitsAndNoneIsToldForBackslashPaths)
{
    const std::string longName(200, 'L');
    ASSERT_EQ(TALVEN_StorePreset(folder.path(longName).c_str(), 0, handle), 1);
    EXPECT_EQ(stateCalls().at(3), "Component::fileName 0 " + std::string(127, 'L'));

#ifdef _WIN32
    const std::string backslashed = folder.path("").substr(0, folder.path("").size() - 1) + "\\Slashless.vstpreset";
#else
    // On Linux a backslash is an ordinary character of a file name.
    const std::string backslashed = "scratch\\Slashless.vstpreset";
#endif
    probe.clear();
    ASSERT_EQ(TALVEN_StorePreset(backslashed.c_str(), 0, handle), 1);
    EXPECT_EQ(stateCalls().at(3), "Component::fileName 1");
#ifndef _WIN32
    std::remove(backslashed.c_str());
#endif
}

TEST_F(PresetRecallTest, HandlesWithoutAPlugInAreRefusedAndNoFileIsWritten)
{
    const std::string path = folder.path("None.vstpreset");
    EXPECT_EQ(TALVEN_StorePreset(path.c_str(), 0, 0), 0);
    EXPECT_EQ(TALVEN_RecallPreset(path.c_str(), 0), 0);
    EXPECT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle + 1000), 0);
    EXPECT_EQ(TALVEN_RecallPreset(path.c_str(), handle + 1000), 0);
    EXPECT_EQ(TALVEN_StorePreset(nullptr, 0, handle), 0);

    ASSERT_EQ(TALVEN_ChannelRemoveDSP(stream, handle), 1);
    EXPECT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 0);
    EXPECT_EQ(TALVEN_RecallPreset(path.c_str(), handle), 0);
    handle = 0;
    EXPECT_TRUE(folder.names().empty());
    EXPECT_TRUE(stateCalls().empty());
}

} // namespace
} // namespace talven
