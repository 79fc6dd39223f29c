#include "presets/PresetFileName.h"
#include "presets/PresetStream.h"

#include "pluginterfaces/base/ibstream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace talven {
namespace {

using namespace Steinberg;
using Steinberg::Vst::InterAppAudio::PresetStream;

// A source stream over a byte string that counts its references.
class ByteSource : public IBStream {
public:
    explicit ByteSource(std::string bytes) : bytes_(std::move(bytes)) {}

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (FUnknownPrivate::iidEqual(iid, IBStream::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            addRef();
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override { return --references; } // owned by the test
    tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override
    {
        const auto count = static_cast<int32>(
            std::min<int64>(numBytes, std::max<int64>(0, static_cast<int64>(bytes_.size()) - position_)));
        if (count > 0)
            std::copy_n(bytes_.data() + position_, count, static_cast<char*>(buffer));
        position_ += count;
        if (numBytesRead)
            *numBytesRead = count;
        return count == numBytes ? kResultOk : kResultFalse;
    }
    tresult PLUGIN_API write(void*, int32, int32*) override { return kResultFalse; }
    tresult PLUGIN_API seek(int64 pos, int32, int64* result) override
    {
        position_ = pos;
        if (result)
            *result = pos;
        return kResultOk;
    }
    tresult PLUGIN_API tell(int64* pos) override
    {
        *pos = position_;
        return kResultOk;
    }

    std::atomic<uint32> references{1};

private:
    std::string bytes_;
    int64 position_ = 0;
};

std::string readAll(IBStream* stream, int32 piece = 3)
{
    std::string text;
    char block[64];
    int32 got = 0;
    tresult result = kResultOk;
    do {
        result = stream->read(block, piece, &got);
        text.append(block, static_cast<size_t>(std::max(got, 0)));
    } while (result == kResultOk && got > 0);
    return text;
}

struct PresetStreamTest : ::testing::Test {
    IPtr<PresetStream> window(TSize offset, TSize size, const char* name = nullptr)
    {
        return owned(PresetStream::create(&source, offset, size, name));
    }
    std::u16string fileNameOf(PresetStream& stream, tresult* result = nullptr)
    {
        Vst::String128 buffer;
        std::fill(std::begin(buffer), std::end(buffer), Vst::TChar('#'));
        const tresult answer = stream.getFileName(buffer);
        if (result)
            *result = answer;
        if (answer != kResultOk)
            return buffer[0] == '#' ? u"untouched" : u"written";
        std::u16string name;
        for (const Vst::TChar* unit = buffer; *unit; ++unit)
            name += static_cast<char16_t>(*unit);
        return name;
    }

    ByteSource source{"0123456789"};
};

TEST_F(PresetStreamTest, ReadsDeliverTheChunkAloneFromItsStart)
{
    IPtr<PresetStream> stream = window(3, 4);
    EXPECT_EQ(readAll(stream), "3456");
    int32 got = -1;
    char byte = 0;
    EXPECT_EQ(stream->read(&byte, 1, &got), kResultOk);
    EXPECT_EQ(got, 0);
    int64 position = -1;
    stream->tell(&position);
    EXPECT_EQ(position, 4);

    // A read of more than is left is cut to the chunk.
    stream->seek(1, IBStream::kIBSeekSet, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(stream->read(buffer, sizeof buffer, &got), kResultOk);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), "456");
    EXPECT_EQ(stream->read(buffer, -5, &got), kResultOk);
    EXPECT_EQ(got, 0);

    EXPECT_EQ(stream->write(buffer, 1, &got), kNotImplemented);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(readAll(window(8, 100)), "89");
}

TEST_F(PresetStreamTest, SeeksFromEveryOriginClampIntoTheChunkWithoutOverflowing)
{
    IPtr<PresetStream> stream = window(2, 5);
    struct Case {
        int64 pos;
        int32 mode;
        int64 expected;
    };
    const Case cases[] = {
        {3, IBStream::kIBSeekSet, 3},        {-1, IBStream::kIBSeekSet, 0},
        {1, IBStream::kIBSeekCur, 1},        {100, IBStream::kIBSeekCur, 5},
        {-2, IBStream::kIBSeekEnd, 3},       {2, IBStream::kIBSeekEnd, 5},
        {INT64_MAX, IBStream::kIBSeekCur, 5}, {INT64_MIN, IBStream::kIBSeekCur, 0},
        {INT64_MAX, IBStream::kIBSeekEnd, 5}, {INT64_MIN, IBStream::kIBSeekEnd, 0},
    };
    for (const Case& c : cases) {
        int64 result = -1;
        EXPECT_EQ(stream->seek(c.pos, c.mode, &result), kResultOk);
        EXPECT_EQ(result, c.expected) << c.pos << " from " << c.mode;
    }
    stream->seek(3, IBStream::kIBSeekSet, nullptr);
    EXPECT_EQ(stream->seek(0, 7, nullptr), kInvalidArgument);
    EXPECT_EQ(readAll(stream), "56");
}

TEST_F(PresetStreamTest, ImpossibleRangesReadAsEmptyOrAreCutAtTheLargestOffset)
{
    EXPECT_EQ(readAll(window(-1, 4)), "");
    EXPECT_EQ(readAll(window(2, -1)), "");
    EXPECT_EQ(readAll(window(7, INT64_MAX)), "789");
    IPtr<PresetStream> huge = window(INT64_MAX - 1, INT64_MAX);
    int64 end = 0;
    huge->seek(0, IBStream::kIBSeekEnd, &end);
    EXPECT_EQ(end, 1);
}

TEST_F(PresetStreamTest, EveryStreamInterfaceIsAnsweredByTheWindowItselfNeverByTheFileBehindIt)
{
    IPtr<PresetStream> stream = window(3, 4, "x");
    const uint32 sourceReferences = source.references;
    void* answer = nullptr;
    ASSERT_EQ(stream->queryInterface(IBStream::iid, &answer), kResultOk);
    EXPECT_EQ(answer, static_cast<IBStream*>(stream.get()));
    static_cast<IBStream*>(answer)->release();
    ASSERT_EQ(stream->queryInterface(FUnknown::iid, &answer), kResultOk);
    EXPECT_EQ(answer, static_cast<IBStream*>(stream.get()));
    static_cast<FUnknown*>(answer)->release();
    ASSERT_EQ(stream->queryInterface(Vst::IStreamAttributes::iid, &answer), kResultOk);
    EXPECT_EQ(answer, static_cast<Vst::IStreamAttributes*>(stream.get()));
    // Both sides count the same references.
    EXPECT_EQ(static_cast<Vst::IStreamAttributes*>(answer)->addRef(), 3u);
    EXPECT_EQ(stream->release(), 2u);
    static_cast<Vst::IStreamAttributes*>(answer)->release();

    answer = &source;
    EXPECT_EQ(stream->queryInterface(ISizeableStream::iid, &answer), kNoInterface);
    EXPECT_EQ(answer, nullptr);
    EXPECT_EQ(stream->queryInterface(IBStream::iid, nullptr), kInvalidArgument);
    EXPECT_EQ(source.references, sourceReferences);
}

TEST_F(PresetStreamTest, TheWindowHoldsItsSourceUntilTheLastReferenceFromAnyThreadGoes)
{
    PresetStream* stream = PresetStream::create(&source, 0, 10, nullptr);
    EXPECT_EQ(source.references, 2u);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([stream] {
            for (int i = 0; i < 20000; ++i) {
                stream->addRef();
                stream->release();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(source.references, 2u);
    EXPECT_EQ(stream->release(), 0u);
    EXPECT_EQ(source.references, 1u);
}

TEST_F(PresetStreamTest, TheFileNameIsReportedWholeUpTo127UnitsAndNeverSplitsAPair)
{
    tresult result = kResultOk;
    EXPECT_EQ(fileNameOf(*window(0, 1, nullptr), &result), u"untouched");
    EXPECT_EQ(result, kResultFalse);
    EXPECT_EQ(fileNameOf(*window(0, 1, ""), &result), u"untouched");
    EXPECT_EQ(result, kResultFalse);
    EXPECT_EQ(fileNameOf(*window(0, 1, "Warm Pad.vstpreset")), u"Warm Pad.vstpreset");
    EXPECT_EQ(fileNameOf(*window(0, 1, "Caf\xC3\xA9 \xF0\x9F\x8E\xB9.vstpreset")), u"Caf\u00E9 \U0001F3B9.vstpreset");

    const std::string longName(200, 'n');
    EXPECT_EQ(fileNameOf(*window(0, 1, longName.c_str())), std::u16string(127, u'n'));
    // A four-byte character whose second unit would be the 128th.
    const std::string pairAtTheCut = std::string(126, 'p') + "\xF0\x9F\x8E\xB9" + "tail";
    EXPECT_EQ(fileNameOf(*window(0, 1, pairAtTheCut.c_str())), std::u16string(126, u'p'));
    EXPECT_EQ(window(0, 1, "x")->getFileName(nullptr), kInvalidArgument);
    EXPECT_EQ(window(0, 1, "x")->getAttributes(), nullptr);
}

TEST(PresetFileName, TheNameIsWhatFollowsTheLastSlashOnly)
{
    EXPECT_EQ(presetFileName("presets/bass/Deep.vstpreset"), "Deep.vstpreset");
    EXPECT_EQ(presetFileName("/Deep"), "Deep");
    EXPECT_EQ(presetFileName("C:\\presets\\Deep.vstpreset"), "");
    EXPECT_EQ(presetFileName("C:\\presets/Deep.vstpreset"), "Deep.vstpreset");
    EXPECT_EQ(presetFileName("Deep.vstpreset"), "");
    EXPECT_EQ(presetFileName("presets/"), "");
}

TEST(PresetFileName, BytesThatAreNotUtf8StillGiveAReadableName)
{
#ifdef _WIN32
    // On Windows such a path was read in the system's code page.
    if (GetACP() != 1252)
        GTEST_SKIP() << "expectations written for code page 1252";
    EXPECT_EQ(fileNameToUtf16("Caf\xE9.vstpreset"), u"Caf\u00E9.vstpreset");
    EXPECT_EQ(fileNameToUtf16("\x80uro"), u"\u20ACuro");
#else
    EXPECT_EQ(fileNameToUtf16("Caf\xE9.vstpreset"), u"Caf\uFFFD.vstpreset");
    // One replacement for each ill-formed piece, the rest kept.
    EXPECT_EQ(fileNameToUtf16("a\xF0\x9F\x8E" "b"), u"a\uFFFDb");
    EXPECT_EQ(fileNameToUtf16("\xED\xA0\x80z"), u"\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(fileNameToUtf16("\xC0\xAF!"), u"\uFFFD\uFFFD!");
    EXPECT_EQ(fileNameToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(fileNameToUtf16("\xE2\x82\xAC\xE2\x82"), u"\u20AC\uFFFD");
#endif
}

} // namespace
} // namespace talven
