#include "PresetTestSupport.h"

#include "presets/PresetFileAccess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace talven {
namespace {

using namespace Steinberg;
using test::Bytes;
using test::ByteWriter;

// Its header text on every platform: E831FF31F2D54301928EBBEE25697802.
const FUID kClass(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
const char* const kClassText = "E831FF31F2D54301928EBBEE25697802";

struct PresetFileWritingTest : ::testing::Test {
    void SetUp() override
    {
        component = owned(new test::FakeComponent(calls));
        controller = owned(new test::FakeController(calls));
    }

    bool store(const std::string& path, bool withController = true)
    {
        return writePresetFile(path.c_str(), kClass, component, withController ? controller.get() : nullptr);
    }

    test::Calls calls;
    IPtr<test::FakeComponent> component;
    IPtr<test::FakeController> controller;
    test::ScratchFolder folder;
};

TEST_F(PresetFileWritingTest, AStoreWithAControllerWritesHeaderBothChunksAndTheListByteForByte)
{
    component->state = test::pattern(5, 0xA0);
    controller->state = test::pattern(3, 0xC0);
    ASSERT_TRUE(store(folder.path("both.vstpreset")));

    const std::int64_t c = 5, k = 3;
    const Bytes expected = ByteWriter()
                               .text("VST3")
                               .int32(1)
                               .text(kClassText)
                               .int64(48 + c + k)
                               .bytes(component->state)
                               .bytes(controller->state)
                               .text("List")
                               .int32(2)
                               .text("Comp").int64(48).int64(c)
                               .text("Cont").int64(48 + c).int64(k)
                               .data();
    const Bytes file = test::readFileBytes(folder.path("both.vstpreset"));
    EXPECT_EQ(test::hex(file), test::hex(expected));
    EXPECT_EQ(file.size(), static_cast<std::size_t>(48 + c + k + 8 + 40));
    EXPECT_EQ(calls, (test::Calls{"Component::getState", "Controller::getState"}));
}

TEST_F(PresetFileWritingTest, AStoreWithoutAControllerListsOnlyTheComponentChunk)
{
    component->state = test::pattern(300);
    ASSERT_TRUE(store(folder.path("comp.vstpreset"), false));
    const Bytes expected = ByteWriter()
                               .text("VST3")
                               .int32(1)
                               .text(kClassText)
                               .int64(48 + 300)
                               .bytes(component->state)
                               .text("List")
                               .int32(1)
                               .text("Comp").int64(48).int64(300)
                               .data();
    EXPECT_EQ(test::hex(test::readFileBytes(folder.path("comp.vstpreset"))), test::hex(expected));
}

TEST_F(PresetFileWritingTest, StatesAnsweredNotImplementedStillGetTheirEntries)
{
    component->getStateResult = kNotImplemented;
    controller->getStateResult = kNotImplemented;
    controller->state = test::pattern(2);
    ASSERT_TRUE(store(folder.path("empty.vstpreset")));
    const Bytes expected = ByteWriter()
                               .text("VST3")
                               .int32(1)
                               .text(kClassText)
                               .int64(50)
                               .bytes(controller->state)
                               .text("List")
                               .int32(2)
                               .text("Comp").int64(48).int64(0)
                               .text("Cont").int64(48).int64(2)
                               .data();
    EXPECT_EQ(test::hex(test::readFileBytes(folder.path("empty.vstpreset"))), test::hex(expected));
}

TEST_F(PresetFileWritingTest, AStoreFailingPartWayLeavesTheOldPresetAsItWasAndNoOtherFile)
{
    const std::string path = folder.path("kept.vstpreset");
    const Bytes old = test::pattern(1000, 0x33);
    test::writeFileBytes(path, old);

    component->state = test::pattern(64);
    component->getStateResult = kResultFalse;
    EXPECT_FALSE(store(path));
    EXPECT_EQ(test::readFileBytes(path), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"kept.vstpreset"});

    component->getStateResult = kResultOk;
    controller->state = test::pattern(64);
    controller->getStateResult = kInternalError;
    EXPECT_FALSE(store(path));
    EXPECT_EQ(test::readFileBytes(path), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"kept.vstpreset"});

    // Without an old file a failed store leaves no file at all.
    EXPECT_FALSE(store(folder.path("new.vstpreset")));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"kept.vstpreset"});
}

TEST_F(PresetFileWritingTest, AStoreReplacesALongerOldFileWhole)
{
    const std::string path = folder.path("shrink.vstpreset");
    test::writeFileBytes(path, test::pattern(5000));
    component->state = test::pattern(4);
    ASSERT_TRUE(store(path, false));
    EXPECT_EQ(test::readFileBytes(path).size(), 48u + 4 + 28);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"shrink.vstpreset"});
}

TEST_F(PresetFileWritingTest, TargetsThatCannotBeWrittenAreLeftAloneAndNothingIsCreated)
{
    EXPECT_FALSE(store(folder.path("missing/inside.vstpreset")));
    EXPECT_FALSE(std::filesystem::exists(folder.path("missing")));

    std::filesystem::create_directory(folder.path("folder.vstpreset"));
    EXPECT_FALSE(store(folder.path("folder.vstpreset")));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("folder.vstpreset")));

    EXPECT_FALSE(store(""));
    EXPECT_FALSE(writePresetFile(nullptr, kClass, component, controller));
    EXPECT_FALSE(writePresetFile(folder.path("none.vstpreset").c_str(), kClass, nullptr, controller));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"folder.vstpreset"});
    EXPECT_TRUE(calls.empty());
}

TEST_F(PresetFileWritingTest, AReadOnlyPresetIsNotReplaced)
{
#ifndef _WIN32
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser may write any file";
#endif
    const std::string path = folder.path("locked.vstpreset");
    const Bytes old = test::pattern(10);
    test::writeFileBytes(path, old);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                           std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(store(path));
    EXPECT_EQ(test::readFileBytes(path), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"locked.vstpreset"});
}

#ifndef _WIN32
TEST_F(PresetFileWritingTest, AReplacedPresetKeepsItsAccessRightsAndALinkToItStaysALink)
{
    namespace fs = std::filesystem;
    const std::string real = folder.path("real.vstpreset");
    test::writeFileBytes(real, test::pattern(10));
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.vstpreset", folder.path("link.vstpreset"));

    component->state = test::pattern(6);
    ASSERT_TRUE(store(folder.path("link.vstpreset"), false));
    EXPECT_TRUE(fs::is_symlink(folder.path("link.vstpreset")));
    EXPECT_EQ(test::readFileBytes(real).size(), 48u + 6 + 28);
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

TEST_F(PresetFileWritingTest, StoresRacingForOneFileNeverLeaveAPartialFile)
{
    const std::string path = folder.path("race.vstpreset");
    component->state = test::pattern(4000);
    ASSERT_TRUE(store(path, false));
    const Bytes whole = test::readFileBytes(path);

    // Each writer stores the same state with its own plug-in objects; a reader
    // keeps checking that the file on disk is always the whole of it.
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    auto writer = [&] {
        test::Calls ownCalls;
        IPtr<test::FakeComponent> own = owned(new test::FakeComponent(ownCalls));
        own->state = component->state;
        for (int i = 0; i < 40; ++i) {
            if (!writePresetFile(path.c_str(), kClass, own, nullptr))
                failures.fetch_add(1);
        }
    };
    int partialReads = 0;
    std::thread first(writer);
    std::thread second(writer);
    std::thread reader([&] {
        while (!done.load()) {
            const Bytes seen = test::readFileBytes(path);
            if (!seen.empty() && seen != whole)
                ++partialReads;
        }
    });
    first.join();
    second.join();
    done = true;
    reader.join();
    EXPECT_EQ(partialReads, 0);
    EXPECT_EQ(test::readFileBytes(path), whole);
#ifndef _WIN32
    // Windows refuses to replace a file while a reader has it open; there a
    // racing store may fail, but it never spoils the file.
    EXPECT_EQ(failures.load(), 0);
#endif
    EXPECT_EQ(folder.names(), std::vector<std::string>{"race.vstpreset"});
}

} // namespace
} // namespace talven
