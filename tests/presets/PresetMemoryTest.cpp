#include "PresetTestSupport.h"

#include "presets/PresetFileAccess.h"
#include "presets/PresetMemory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace talven {
namespace {

using namespace Steinberg;
using test::Bytes;

IPtr<PresetMemory> memoryOf(const Bytes& bytes)
{
    return owned(PresetMemory::create(std::vector<char>(bytes.begin(), bytes.end())));
}

// Every position a seek may be sent to, and what a read of 4 bytes there
// gives: a preset's chunk list names positions that come from the caller.
TEST(PresetMemoryTest, SeeksStayInsideTheirRangeAndReadsGiveOnlyBytesThatExist)
{
    struct Case {
        const char* what;
        int64 position;
        int32 mode;
        tresult seekResult;
        int64 cursor;      // where the cursor stands afterwards
        const char* read;  // 4 bytes asked
    };
    constexpr int64 kPast4GiB = (int64{1} << 32) + 2;
    const Case cases[] = {
        {"start", 0, IBStream::kIBSeekSet, kResultOk, 0, "00010203"},
        {"inside", 6, IBStream::kIBSeekSet, kResultOk, 6, "0607"},
        {"the end", 0, IBStream::kIBSeekEnd, kResultOk, 8, ""},
        {"past the end", 100, IBStream::kIBSeekSet, kResultOk, 100, ""},
        {"back from the end", -3, IBStream::kIBSeekEnd, kResultOk, 5, "050607"},
        {"before the start", -1, IBStream::kIBSeekSet, kResultFalse, 2, "02030405"},
        {"far before the start", INT64_MIN, IBStream::kIBSeekCur, kResultFalse, 2, "02030405"},
        {"past 4 GiB", kPast4GiB, IBStream::kIBSeekSet, kResultFalse, 2, "02030405"},
        {"largest offset", INT64_MAX, IBStream::kIBSeekEnd, kResultFalse, 2, "02030405"},
        {"unknown mode", 1, 7, kInvalidArgument, 2, "02030405"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IPtr<PresetMemory> memory = memoryOf({0, 1, 2, 3, 4, 5, 6, 7});
        ASSERT_EQ(memory->seek(2, IBStream::kIBSeekSet), kResultOk);
        int64 at = -1;
        EXPECT_EQ(memory->seek(c.position, c.mode, &at), c.seekResult);
        int64 told = -1;
        ASSERT_EQ(memory->tell(&told), kResultOk);
        EXPECT_EQ(told, c.cursor);
        Bytes read(4, 0xEE);
        int32 got = -1;
        EXPECT_EQ(memory->read(read.data(), 4, &got), kResultOk);
        read.resize(static_cast<std::size_t>(got));
        EXPECT_EQ(test::hex(read), c.read);
    }
}

TEST(PresetMemoryTest, WritesGrowTheBytesFillingGapsWithZerosAndRefuseBadArguments)
{
    IPtr<PresetMemory> memory = memoryOf({});
    char data[3] = {'a', 'b', 'c'};
    int32 written = -1;
    EXPECT_EQ(memory->write(data, 3, &written), kResultOk);
    EXPECT_EQ(written, 3);
    ASSERT_EQ(memory->seek(5, IBStream::kIBSeekSet), kResultOk);
    EXPECT_EQ(memory->write(data, 1, &written), kResultOk);
    EXPECT_EQ(memory->bytes(), (std::vector<char>{'a', 'b', 'c', 0, 0, 'a'}));
    EXPECT_EQ(memory->write(data, -1, &written), kInvalidArgument);
    EXPECT_EQ(memory->write(nullptr, 2, &written), kInvalidArgument);
    EXPECT_EQ(written, 0);
    ASSERT_EQ(memory->seek(PresetMemory::kMaxSize - 1, IBStream::kIBSeekSet), kResultOk);
    EXPECT_EQ(memory->write(data, 3, &written), kOutOfMemory);
    EXPECT_EQ(memory->bytes().size(), 6u);
}

// A preset in memory is read under the same rules as one in a file: a list
// or a chunk reaching outside the bytes applies nothing or only what exists.
TEST(PresetMemoryTest, PresetsInMemoryWithPositionsOutsideTheirBytesAreReadSafely)
{
    const FUID cid(0x7A1E0002, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
    const std::string text = "7A1E00025E7A4C119D3B2F600000A001";
    const Bytes comp = {0xC0, 0xC1, 0xC2};
    struct Case {
        const char* what;
        std::int64_t listOffset;
        std::int64_t compOffset;
        std::int64_t compSize;
        tresult result;
        const char* received;
    };
    // 48 header bytes, c0 c1 c2, then the list at 51.
    const Case cases[] = {
        {"as written", 51, 48, 3, kResultOk, "c0c1c2"},
        {"list 4 GiB past its place", 51 + (std::int64_t{1} << 32), 48, 3, kResultFalse, nullptr},
        {"list before the start", -51, 48, 3, kResultFalse, nullptr},
        {"chunk 4 GiB past the end", 51, (std::int64_t{1} << 32) + 48, 3, kResultOk, ""},
        {"chunk reaching past the end", 51, 50, 1000, kResultOk, "c24c697374"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::ByteWriter file;
        file.text("VST3").int32(1).text(text).int64(c.listOffset).bytes(comp)
            .text("List").int32(1).text("Comp").int64(c.compOffset).int64(c.compSize);
        test::Calls calls;
        IPtr<test::FakeComponent> component = owned(new test::FakeComponent(calls));
        IPtr<PresetMemory> memory = memoryOf(file.data());
        EXPECT_EQ(applyPreset(memory, nullptr, cid, component, nullptr), c.result);
        if (!c.received) {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        ASSERT_FALSE(calls.empty());
        const std::string received = calls.front().substr(std::string("Component::setState ").size());
        EXPECT_EQ(received.substr(0, std::string(c.received).size()), c.received);
    }
}

} // namespace
} // namespace talven
