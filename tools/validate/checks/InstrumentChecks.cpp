// The checks adapted to an instrument, which is played on a stream of its
// own instead of attached to a channel:
//   load         streams of 1, 2 and 6 channels at three rates made and
//                freed, each leaving nothing behind;
//   blocks       random block lengths with random notes sounding give
//                finite output, some sound, and silence once every note
//                ended and the tail died away;
//   determinism  two instruments given the same notes play the same;
//   bypass       a bypassed instrument is silent, and sounds again after.
// Parameters, state, storm and the editor are not adapted yet: skipped.
#include "Check.h"

#include "../Census.h"
#include "../InstrumentStream.h"
#include "../Random.h"
#include "../Signal.h"
#include "../Text.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace talven::validate {
namespace {

constexpr std::uint32_t kMaxBlock = 10000;
constexpr int kBlocks = 60;
constexpr double kQuietPeak = 1e-6;
constexpr int kTailLimitSeconds = 20;

std::string where(std::uint32_t channels, std::uint32_t rate)
{
    return std::to_string(channels) + " channel(s) at " + std::to_string(rate) + " Hz";
}

TALVEN_MIDI_EVENT message(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    TALVEN_MIDI_EVENT event{};
    event.status = status;
    event.data1 = data1;
    event.data2 = data2;
    return event;
}

// Before a block: now and then a note starts or the oldest one ends.
std::vector<TALVEN_MIDI_EVENT> randomNotes(Random& random, std::vector<std::uint8_t>& sounding)
{
    std::vector<TALVEN_MIDI_EVENT> events;
    if (sounding.size() < 6 && random.between(0, 2) > 0) {
        const auto pitch = static_cast<std::uint8_t>(random.between(36, 96));
        events.push_back(message(0x90, pitch, static_cast<std::uint8_t>(random.between(40, 127))));
        sounding.push_back(pitch);
    }
    if (sounding.size() > 3) {
        events.push_back(message(0x80, sounding.front(), 64));
        sounding.erase(sounding.begin());
    }
    return events;
}

std::vector<TALVEN_MIDI_EVENT> allNotesOff(std::vector<std::uint8_t>& sounding)
{
    std::vector<TALVEN_MIDI_EVENT> events;
    for (std::uint8_t pitch : sounding)
        events.push_back(message(0x80, pitch, 64));
    sounding.clear();
    return events;
}

// Frames of silence until a second of it is quiet; false when it never is.
bool diesAway(InstrumentStream& stream, std::uint32_t rate, Outcome& outcome, double& lastPeak)
{
    std::vector<float> block;
    int quiet = 0;
    for (int i = 0; i < kTailLimitSeconds * 10 && quiet < 10; ++i) {
        outcome.operation();
        if (!stream.pull(rate / 10, block))
            return false;
        lastPeak = peakOf(block.data(), block.size());
        quiet = lastPeak <= kQuietPeak ? quiet + 1 : 0;
    }
    return quiet >= 10;
}

} // namespace

void runInstrumentLoadCheck(const CheckContext& context, Outcome& outcome)
{
    int made = 0;
    for (const std::uint32_t channels : {1u, 2u, 6u}) {
        for (const std::uint32_t rate : {44100u, 48000u, 96000u}) {
            const std::int64_t handlesBefore = liveHandleCount();
            const std::int64_t callbacksBefore = callbackCount();
            {
                InstrumentStream stream(context.plugin, channels, rate);
                outcome.operation();
                if (!stream.ok()) {
                    outcome.problem("no instrument stream of " + where(channels, rate));
                    continue;
                }
                ++made;
                if (!stream.free())
                    outcome.problem("the stream of " + where(channels, rate) + " could not be freed");
            }
            if (liveHandleCount() != handlesBefore || callbackCount() != callbacksBefore)
                outcome.problem("freeing the stream of " + where(channels, rate) + " left handles or callbacks behind");
        }
    }
    outcome.summary(std::to_string(made) + " instrument streams of 1, 2 and 6 channels at 44.1, 48 and 96 kHz made "
                    "and freed");
    takeCensus(outcome);
}

void runInstrumentBlocksCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "blocks");
    InstrumentStream stream(context.plugin, 2, 48000);
    if (!stream.ok()) {
        outcome.problem("cannot make the instrument's stream");
        return;
    }
    std::vector<std::uint8_t> sounding;
    std::vector<float> block;
    double loudest = 0;
    for (int i = 0; i < kBlocks; ++i) {
        const std::uint32_t length = randomBlockLength(random, kMaxBlock);
        outcome.operation();
        if (!stream.send(randomNotes(random, sounding)) || !stream.pull(length, block)) {
            outcome.problem("block " + std::to_string(i) + ": the notes or the block did not get through");
            continue;
        }
        const std::size_t bad = firstNonFinite(block.data(), block.size());
        if (bad != block.size())
            outcome.problem("block " + std::to_string(i) + " of " + std::to_string(length) + " frames with notes "
                            "playing: sample " + std::to_string(bad / 2) + " is not finite");
        loudest = std::max(loudest, peakOf(block.data(), block.size()));
    }
    if (loudest <= kQuietPeak)
        outcome.flag("no sound while notes played (peak " + dbfs(toDbfs(loudest)) + ")");
    stream.send(allNotesOff(sounding));
    double lastPeak = 0;
    if (!diesAway(stream, 48000, outcome, lastPeak))
        outcome.flag("still sounding " + std::to_string(kTailLimitSeconds) + " s after every note ended: peak " +
                     dbfs(toDbfs(lastPeak)));
    outcome.summary(std::to_string(kBlocks) + " blocks of 1 to " + std::to_string(kMaxBlock) +
                    " frames with notes playing (peak " + dbfs(toDbfs(loudest)) + "), then every note ended");
    stream.free();
    takeCensus(outcome);
}

void runInstrumentDeterminismCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "determinism");
    InstrumentStream a(context.plugin, 2, 44100);
    InstrumentStream b(context.plugin, 2, 44100);
    if (!a.ok() || !b.ok()) {
        outcome.problem("cannot make two instrument streams");
        return;
    }
    std::vector<std::uint8_t> sounding;
    std::vector<float> blockA;
    std::vector<float> blockB;
    int differing = -1;
    for (int i = 0; i < kBlocks; ++i) {
        const std::vector<TALVEN_MIDI_EVENT> notes = randomNotes(random, sounding);
        const std::uint32_t length = randomBlockLength(random, kMaxBlock);
        outcome.operation();
        if (!a.send(notes) || !b.send(notes) || !a.pull(length, blockA) || !b.pull(length, blockB)) {
            outcome.problem("block " + std::to_string(i) + ": the notes or the block did not get through");
            continue;
        }
        if (differing < 0 && std::memcmp(blockA.data(), blockB.data(), blockA.size() * sizeof(float)) != 0)
            differing = i;
    }
    if (differing >= 0)
        outcome.flag("the two instruments' outputs differ from block " + std::to_string(differing) + " on");
    outcome.summary("2 instruments, " + std::to_string(kBlocks) + " blocks of the same notes" +
                    (differing < 0 ? ": bit-identical" : ""));
    a.free();
    b.free();
    takeCensus(outcome);
}

void runInstrumentBypassCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "bypass");
    InstrumentStream stream(context.plugin, 2, 44100);
    if (!stream.ok()) {
        outcome.problem("cannot make the instrument's stream");
        return;
    }
    std::vector<float> block;
    const std::vector<TALVEN_MIDI_EVENT> chord = {message(0x90, 60, 110), message(0x90, 64, 110)};
    stream.send(chord);
    outcome.operation();
    if (TALVEN_SetBypass(stream.handle(), 1) != 1) {
        outcome.problem("the instrument could not be bypassed");
        return;
    }
    for (int i = 0; i < 20; ++i) {
        outcome.operation();
        const std::uint32_t length = randomBlockLength(random, kMaxBlock);
        if (!stream.pull(length, block) || peakOf(block.data(), block.size()) != 0)
            outcome.problem("bypassed block " + std::to_string(i) + " of " + std::to_string(length) +
                            " frames is not silent");
    }
    outcome.operation();
    if (TALVEN_SetBypass(stream.handle(), 0) != 1)
        outcome.problem("the instrument could not be switched back on");
    stream.send(chord);
    double loudest = 0;
    for (int i = 0; i < 10; ++i) {
        outcome.operation();
        if (stream.pull(2048, block))
            loudest = std::max(loudest, peakOf(block.data(), block.size()));
    }
    if (loudest <= kQuietPeak)
        outcome.flag("switched back on, the instrument stays silent with notes playing");
    outcome.summary("20 bypassed blocks silent, then notes played again (peak " + dbfs(toDbfs(loudest)) + ")");
    stream.free();
    takeCensus(outcome);
}

} // namespace talven::validate
