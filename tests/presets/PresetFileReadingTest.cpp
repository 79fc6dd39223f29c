#include "PresetTestSupport.h"

#include "presets/PresetFileAccess.h"

#include <gtest/gtest.h>

#include <cctype>

namespace talven {
namespace {

using namespace Steinberg;
using test::Bytes;
using test::ByteWriter;
using test::Chunk;

const FUID kClass(0x7A1E0002, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
const std::string kText = "7A1E00025E7A4C119D3B2F600000A001";

struct PresetFileReadingTest : ::testing::Test {
    void SetUp() override
    {
        component = owned(new test::FakeComponent(calls));
        controller = owned(new test::FakeController(calls));
    }

    tresult recall(const Bytes& file)
    {
        const std::string path = folder.path("hand.vstpreset");
        test::writeFileBytes(path, file);
        return applyPresetFile(path.c_str(), kClass, component, controller);
    }

    test::Calls calls;
    IPtr<test::FakeComponent> component;
    IPtr<test::FakeController> controller;
    test::ScratchFolder folder;
};

const Bytes kComp = {0xC0, 0xC1, 0xC2};
const Bytes kCont = {0xD0, 0xD1};
const test::Calls kAppliedBoth = {"Component::setState c0c1c2", "Controller::setComponentState c0c1c2",
                                  "Controller::setState d0d1"};

TEST_F(PresetFileReadingTest, FilesWrittenElsewhereInOtherAcceptableShapesAreApplied)
{
    struct Case {
        const char* what;
        Bytes file;
    };
    std::string lower = kText;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const Bytes prog = {0x50, 0x50};
    const Bytes info = {'<', '/', '>'};
    ByteWriter announced200;
    announced200.text("VST3").int32(1).text(kText).int64(48 + 5)
        .bytes(kComp).bytes(kCont)
        .text("List").int32(200)
        .text("Comp").int64(48).int64(3)
        .text("Cont").int64(51).int64(2)
        .text("Info").int64(0).int64(0);
    const Case cases[] = {
        {"version 2", test::presetFile(kText, {{"Comp", kComp}, {"Cont", kCont}}, 2)},
        {"lower-case class id", test::presetFile(lower, {{"Comp", kComp}, {"Cont", kCont}})},
        {"Prog and Info chunks", test::presetFile(kText, {{"Prog", prog}, {"Comp", kComp}, {"Info", info}, {"Cont", kCont}})},
        {"200 entries announced, 3 present", announced200.data()},
        {"controller chunk listed first", test::presetFile(kText, {{"Cont", kCont}, {"Comp", kComp}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        EXPECT_EQ(recall(c.file), kResultOk);
        EXPECT_EQ(calls, kAppliedBoth);
    }
}

TEST_F(PresetFileReadingTest, RefusedFilesApplyNothing)
{
    struct Case {
        const char* what;
        Bytes file;
    };
    const Bytes good = test::presetFile(kText, {{"Comp", kComp}, {"Cont", kCont}});
    auto patched = [&](std::size_t at, const std::string& text) {
        Bytes file = good;
        std::copy(text.begin(), text.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
        return file;
    };
    auto withListOffset = [&](std::int64_t offset) {
        Bytes file = good;
        const Bytes value = ByteWriter().int64(offset).data();
        std::copy(value.begin(), value.end(), file.begin() + 40);
        return file;
    };
    ByteWriter failedWrite; // what a store that failed before its list would leave
    failedWrite.text("VST3").int32(1).text(kText).int64(0).bytes(kComp);
    ByteWriter zeroEntries;
    zeroEntries.text("VST3").int32(1).text(kText).int64(51).bytes(kComp).text("List").int32(0);
    ByteWriter cutEntry;
    cutEntry.text("VST3").int32(1).text(kText).int64(51).bytes(kComp).text("List").int32(1).text("Comp").int64(48);
    std::string zeroByte = kText;
    zeroByte[20] = '\0';

    const Case cases[] = {
        {"empty file", {}},
        {"not a preset", patched(0, "RIFF")},
        {"header cut short", Bytes(good.begin(), good.begin() + 44)},
        {"list offset 0", failedWrite.data()},
        {"negative list offset", withListOffset(-8)},
        {"list offset past the end", withListOffset(100000)},
        {"list offset past 4 GiB", withListOffset((std::int64_t{1} << 32) + 53)},
        {"list not marked List", patched(53, "Lost")},
        {"no entries", zeroEntries.data()},
        {"only a cut entry", cutEntry.data()},
        {"another plug-in's class", test::presetFile("7A1E00025E7A4C119D3B2F600000A002", {{"Comp", kComp}})},
        {"zero byte in the class id", test::presetFile(zeroByte, {{"Comp", kComp}})},
        {"no component chunk", test::presetFile(kText, {{"Cont", kCont}, {"Prog", kComp}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        EXPECT_EQ(recall(c.file), kResultFalse);
        EXPECT_TRUE(calls.empty()) << calls.front();
    }
}

TEST_F(PresetFileReadingTest, ClassIdTextWithCharactersOtherThanHexDigitsMatchesNoPlugin)
{
    // The C library's reading of each two-character field would skip the
    // blank and take the sign, and so find this plug-in's class.
    const char* texts[] = {
        "7A1E00025E7A4C119D3B2F600000A0 1",
        "7A1E00025E7A4C119D3B2F600000A0+1",
        "7A1E00025E7A4C119D3B2F600000A0G1",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        ASSERT_EQ(std::string(text).size(), 32u);
        calls.clear();
        EXPECT_EQ(recall(test::presetFile(text, {{"Comp", kComp}})), kResultFalse);
        EXPECT_TRUE(calls.empty());
    }
}

TEST_F(PresetFileReadingTest, TheFirstEntryOfAKindIsUsedAndOnlyTheFirst128EntriesCount)
{
    const Bytes other = {0xEE};
    EXPECT_EQ(recall(test::presetFile(kText, {{"Comp", kComp}, {"Comp", other}, {"Cont", kCont}, {"Cont", other}})),
              kResultOk);
    EXPECT_EQ(calls, kAppliedBoth);

    // 200 entries: "Comp" as the 128th is read, as the 129th it is not.
    auto listOf200 = [&](int compIndex) {
        std::vector<Chunk> chunks(200, Chunk{"Prog", {}});
        chunks[static_cast<std::size_t>(compIndex)] = Chunk{"Comp", kComp};
        return test::presetFile(kText, chunks);
    };
    calls.clear();
    EXPECT_EQ(recall(listOf200(127)), kResultOk);
    EXPECT_EQ(calls.front(), "Component::setState c0c1c2");
    calls.clear();
    EXPECT_EQ(recall(listOf200(128)), kResultFalse);
    EXPECT_TRUE(calls.empty());
}

TEST_F(PresetFileReadingTest, ChunksReachingOutsideTheFileDeliverOnlyBytesThatExistInsideThem)
{
    auto withComp = [&](std::int64_t offset, std::int64_t size) {
        return ByteWriter()
            .text("VST3").int32(1).text(kText).int64(51)
            .bytes(kComp)
            .text("List").int32(1).text("Comp").int64(offset).int64(size)
            .data();
    };
    struct Case {
        const char* what;
        std::int64_t offset;
        std::int64_t size;
        const char* received;
    };
    // The file is 48 header bytes, c0 c1 c2, then "List" (4c 69 73 74) ...
    const Case cases[] = {
        {"size past the end", 49, 1000, "c1c2"},
        {"offset past the end", 5000, 3, ""},
        {"negative offset", -2, 10, ""},
        {"negative size", 48, -1, ""},
        {"offset past 4 GiB", (std::int64_t{1} << 32) + 48, 3, ""},
        {"largest size", 50, INT64_MAX, "c2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        recall(withComp(c.offset, c.size));
        ASSERT_FALSE(calls.empty());
        const std::string received = calls.front().substr(std::string("Component::setState ").size());
        // Past the 3 state bytes only the file's own list may follow.
        EXPECT_EQ(received.substr(0, std::string(c.received).size()), c.received);
        EXPECT_TRUE(received.size() == std::string(c.received).size() ||
                    received.substr(std::string(c.received).size(), 8) == "4c697374")
            << received;
    }
}

TEST_F(PresetFileReadingTest, TheControllerFollowsOnlyAComponentThatTookItsStateOrHasNone)
{
    const Bytes file = test::presetFile(kText, {{"Comp", kComp}, {"Cont", kCont}});
    component->setStateResult = kNotImplemented;
    EXPECT_EQ(recall(file), kNotImplemented);
    EXPECT_EQ(calls, kAppliedBoth);

    calls.clear();
    component->setStateResult = kResultFalse;
    EXPECT_EQ(recall(file), kResultFalse);
    EXPECT_EQ(calls, test::Calls{"Component::setState c0c1c2"});

    calls.clear();
    component->setStateResult = kResultOk;
    EXPECT_EQ(recall(test::presetFile(kText, {{"Comp", kComp}})), kResultOk);
    EXPECT_EQ(calls, (test::Calls{"Component::setState c0c1c2", "Controller::setComponentState c0c1c2"}));

    calls.clear();
    const std::string path = folder.path("hand.vstpreset");
    EXPECT_EQ(applyPresetFile(path.c_str(), kClass, component, nullptr), kResultOk);
    EXPECT_EQ(calls, test::Calls{"Component::setState c0c1c2"});
}

TEST_F(PresetFileReadingTest, MissingFilesAndArgumentsApplyNothing)
{
    EXPECT_EQ(applyPresetFile(folder.path("absent.vstpreset").c_str(), kClass, component, controller), kResultFalse);
    EXPECT_EQ(applyPresetFile(nullptr, kClass, component, controller), kResultFalse);
    const std::string path = folder.path("hand.vstpreset");
    test::writeFileBytes(path, test::presetFile(kText, {{"Comp", kComp}}));
    EXPECT_EQ(applyPresetFile(path.c_str(), kClass, nullptr, controller), kResultFalse);
    EXPECT_TRUE(calls.empty());
}

TEST_F(PresetFileReadingTest, WhatTheStoreWritesIsReadBackWhole)
{
    component->state = test::pattern(100000);
    controller->state = test::pattern(7, 0x80);
    const std::string path = folder.path("round.vstpreset");
    ASSERT_TRUE(writePresetFile(path.c_str(), kClass, component, controller));
    calls.clear();
    const Bytes stored = component->state;
    component->state.clear();
    controller->state.clear();
    EXPECT_EQ(applyPresetFile(path.c_str(), kClass, component, controller), kResultOk);
    EXPECT_EQ(component->state, stored);
    EXPECT_EQ(controller->state, test::pattern(7, 0x80));
}

} // namespace
} // namespace talven
