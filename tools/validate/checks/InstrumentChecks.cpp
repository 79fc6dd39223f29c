// The checks adapted to an instrument, which is played on a stream of its
// own instead of attached to a channel:
//   load         streams of 1, 2 and 6 channels at three rates made and
//                freed, each leaving nothing behind;
//   blocks       random block lengths with random notes sounding give
//                finite output, some sound, and silence once every note
//                ended and the tail died away;
//   determinism  two instruments given the same notes play the same;
//   state        random values stored and given to a second instrument:
//                the same values read back, and the same notes sound the
//                same on both (parameters that carry MIDI controllers left
//                out: they follow the notes' controllers, not the state);
//   bypass       a bypassed instrument is silent, and sounds again after.
// Parameters, storm and the editor take an instrument in their own files.
#include "Check.h"

#include "../Census.h"
#include "../InstrumentStream.h"
#include "../ParameterList.h"
#include "../Random.h"
#include "../Signal.h"
#include "../Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace talven::validate {
namespace {

constexpr std::uint32_t kMaxBlock = 10000;
constexpr std::uint32_t kFrames = 1024;
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

// The ids of the parameters that carry MIDI controllers (the instrument's
// IMidiMapping, JUCE's some 2,000 "MIDI CC" parameters among them): every
// controller, channel pressure and pitch bend of every channel is sent once,
// with a value no default is likely to have, to a stream made for this; a
// parameter that moved to it took a controller.
std::vector<std::uint32_t> midiControlled(const CheckContext& context, const std::vector<Parameter>& parameters,
                                          Outcome& outcome)
{
    constexpr std::uint8_t kValue = 77;
    const double controllerValue = kValue / 127.0;
    const double bendValue = ((kValue << 7) | kValue) / 16383.0;
    InstrumentStream stream(context.plugin, 2, 44100);
    std::vector<std::uint32_t> ids;
    if (!stream.ok())
        return ids;
    std::vector<double> before;
    for (const Parameter& parameter : parameters)
        before.push_back(TALVEN_GetParam(stream.handle(), parameter.id));
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        for (std::uint8_t controller = 0; controller < 128; ++controller)
            bytes.insert(bytes.end(), {static_cast<std::uint8_t>(0xB0 | channel), controller, kValue});
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(0xD0 | channel), kValue});
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(0xE0 | channel), kValue, kValue});
    }
    outcome.operation();
    std::vector<float> block;
    if (TALVEN_StreamEvents(stream.handle(), TALVEN_EVENTS_RAW, bytes.data(), static_cast<std::uint32_t>(bytes.size())) <= 0 ||
        !stream.pull(64, block))
        return ids;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const double value = TALVEN_GetParam(stream.handle(), parameters[i].id);
        if (value != before[i] && (std::fabs(value - controllerValue) < 1e-6 || std::fabs(value - bendValue) < 1e-6))
            ids.push_back(parameters[i].id);
    }
    stream.free();
    return ids;
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

void runInstrumentStateCheck(const CheckContext& context, Outcome& outcome)
{
    Random random = Random::derived(context.seed, "state");
    InstrumentStream first(context.plugin, 2, 44100);
    InstrumentStream second(context.plugin, 2, 44100);
    if (!first.ok() || !second.ok()) {
        outcome.problem("cannot make two instrument streams");
        return;
    }
    std::vector<Parameter> parameters = readParameters(first.handle());
    const std::vector<std::uint32_t> controllers = midiControlled(context, parameters, outcome);
    parameters.erase(std::remove_if(parameters.begin(), parameters.end(),
                                    [&](const Parameter& parameter) {
                                        return std::find(controllers.begin(), controllers.end(), parameter.id) !=
                                               controllers.end();
                                    }),
                     parameters.end());
    int set = 0;
    for (const Parameter& parameter : parameters) {
        if (!isWritable(parameter) || changesMoreThanItself(parameter))
            continue;
        outcome.operation();
        const std::vector<double> values = sweepValues(parameter, random);
        const double value = values[static_cast<std::size_t>(random.between(0, static_cast<std::int64_t>(values.size()) - 1))];
        if (TALVEN_SetParam(first.handle(), parameter.id, static_cast<float>(value)) == 0)
            ++set;
    }
    std::vector<float> blockA;
    std::vector<float> blockB;
    first.pull(kFrames, blockA); // the values reach the processor
    outcome.operation();
    const std::int32_t size = TALVEN_GetState(first.handle(), nullptr, 0);
    std::vector<char> state(static_cast<std::size_t>(std::max(size, 0)));
    if (size <= 0 || TALVEN_GetState(first.handle(), state.data(), size) != size ||
        TALVEN_SetState(second.handle(), state.data(), size) != 1) {
        outcome.problem("the state of one instrument could not be given to another");
        return;
    }
    for (const Parameter& parameter : parameters) {
        outcome.operation();
        const double a = TALVEN_GetParam(first.handle(), parameter.id);
        const double b = TALVEN_GetParam(second.handle(), parameter.id);
        if (!readsBack(parameter, a, b))
            outcome.problem(describe(parameter) + " reads " + std::to_string(b) + " after the state, not " +
                            std::to_string(a));
    }
    // Both fall silent, then play the same notes.
    first.pull(44100, blockA);
    second.pull(44100, blockB);
    std::vector<std::uint8_t> sounding;
    int differing = -1;
    for (int i = 0; i < 20; ++i) {
        const std::vector<TALVEN_MIDI_EVENT> notes = randomNotes(random, sounding);
        outcome.operation();
        if (!first.send(notes) || !second.send(notes) || !first.pull(kFrames, blockA) || !second.pull(kFrames, blockB))
            continue;
        if (differing < 0 && std::memcmp(blockA.data(), blockB.data(), blockA.size() * sizeof(float)) != 0)
            differing = i;
    }
    if (differing >= 0)
        outcome.flag("given the first instrument's state, the second sounds different from block " +
                     std::to_string(differing) + " on");
    outcome.summary(std::to_string(set) + " parameter(s) set at random (" + std::to_string(controllers.size()) +
                    " carrying MIDI controllers left out), the state (" + std::to_string(size) +
                    " bytes) given to a second instrument, 20 blocks of the same notes compared" +
                    (differing < 0 ? ": bit-identical" : ""));
    first.free();
    second.free();
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
