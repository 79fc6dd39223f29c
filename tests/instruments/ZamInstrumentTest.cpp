// zam-plugins' ZamSynth and ZamPiano (DPF, built by scripts/zam-plugins for this target)
// as instrument streams: a timed note sounds from exactly its frame (the
// plug-ins apply a call's events at its start), and its note off lets it
// fade to silence.
#include "InstrumentTestSupport.h"
#include "ZamPackages.h"

#include <cmath>
#include <filesystem>
#include <string>

namespace talven {
namespace {

using test::EngineTest;
using test::midiAt;

using ZamInstrumentTest = EngineTest;

#if defined(_WIN32)
constexpr const char* kTree = "windows";
#else
constexpr const char* kTree = "linux";
#endif

std::string zamInstrument(const char* name)
{
    return std::string(TALVEN_ZAM_BUILD_DIR) + "/" + kTree + "/" + name + ".vst3";
}

std::vector<float> leftOf(const std::vector<float>& stereo)
{
    std::vector<float> left;
    for (std::size_t i = 0; i < stereo.size(); i += 2)
        left.push_back(stereo[i]);
    return left;
}

TEST_F(ZamInstrumentTest, ATimedNoteSoundsFromExactlyItsFrameAndFadesOutAfterItsNoteOff)
{
  // ZamSynth sounds from the note's frame on; ZamPiano's model stays exactly
  // silent for a fixed while after it, which must be the same wherever the
  // note falls.
  for (const char* name : {"ZamSynth", "ZamPiano"}) {
    std::int64_t onset = -1;
    const std::string path = zamInstrument(name);
    const test::PluginLeaksIgnored leaks(path);
    if (!std::filesystem::exists(path))
        GTEST_FAIL() << path << " is missing (scripts/zam-plugins builds it)";
    const std::uint64_t frames[] = {0, 1000, 4095, 4096, 10007};
    for (const std::uint64_t frame : frames) {
        SCOPED_TRACE(std::string(name) + " at frame " + std::to_string(frame));
        std::uint32_t handle = 0;
        const HSTREAM stream =
            TALVEN_StreamCreate(test::kRate, 2, path.c_str(), nullptr, BASS_STREAM_DECODE, &handle);
        ASSERT_NE(stream, 0u);
        ASSERT_NE(handle, 0u);
        const std::uint64_t release = frame + test::kRate / 2;
        const TALVEN_MIDI_EVENT notes[] = {midiAt(frame, 0x90, 69, 127), midiAt(release, 0x80, 69, 0)};
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, notes, 2), 2);
        std::vector<float> left;
        while (left.size() < release + 2 * test::kRate) {
            const std::vector<float> block = leftOf(pull(stream, 2, 1024));
            left.insert(left.end(), block.begin(), block.end());
        }
        std::size_t first = 0;
        while (first < left.size() && left[first] == 0.f)
            ++first;
        const std::int64_t delay = static_cast<std::int64_t>(first) - static_cast<std::int64_t>(frame);
        if (onset < 0)
            onset = delay;
        EXPECT_EQ(delay, std::string(name) == "ZamSynth" ? 0 : onset);
        EXPECT_LT(onset, 1024);
        double sounding = 0;
        for (std::size_t i = frame; i < release; ++i)
            sounding = std::max(sounding, std::fabs(static_cast<double>(left[i])));
        double after = 0;
        for (std::size_t i = release + test::kRate; i < release + 2 * test::kRate; ++i)
            after = std::max(after, std::fabs(static_cast<double>(left[i])));
        EXPECT_GT(sounding, 1e-4);
        EXPECT_LT(after, sounding * 1e-3);
        EXPECT_TRUE(BASS_StreamFree(stream));
    }
  }
}

} // namespace
} // namespace talven
