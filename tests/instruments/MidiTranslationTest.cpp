// MIDI to VST 3: raw bytes split into messages (running status, real-time
// bytes, system exclusive), each message translated into the events and
// parameter points a process call receives, and the queue's order, timing
// and capacity.
#include "events/MidiQueue.h"
#include "events/MidiTranslator.h"
#include "events/RawMidi.h"
#include "sdk/EventList.h"
#include "sdk/ParameterChanges.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

namespace talven {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// What one process call got, as text, one item per entry: "on c p v",
// "off c p v", "poly c p v", "sysex n", "param id offset value".
std::vector<std::string> describe(EventList& events, ParameterChanges& changes)
{
    std::vector<std::string> out;
    char line[96];
    for (int32 i = 0; i < events.getEventCount(); ++i) {
        Event e{};
        events.getEvent(i, e);
        switch (e.type) {
        case Event::kNoteOnEvent:
            std::snprintf(line, sizeof line, "@%d on %d %d %.3f id%d", e.sampleOffset, e.noteOn.channel,
                          e.noteOn.pitch, e.noteOn.velocity, e.noteOn.noteId);
            break;
        case Event::kNoteOffEvent:
            std::snprintf(line, sizeof line, "@%d off %d %d %.3f id%d", e.sampleOffset, e.noteOff.channel,
                          e.noteOff.pitch, e.noteOff.velocity, e.noteOff.noteId);
            break;
        case Event::kPolyPressureEvent:
            std::snprintf(line, sizeof line, "@%d poly %d %d %.3f", e.sampleOffset, e.polyPressure.channel,
                          e.polyPressure.pitch, e.polyPressure.pressure);
            break;
        case Event::kDataEvent:
            std::snprintf(line, sizeof line, "@%d sysex %u type%u last%02X", e.sampleOffset, e.data.size,
                          e.data.type, e.data.bytes[e.data.size - 1]);
            break;
        default: std::snprintf(line, sizeof line, "other");
        }
        out.emplace_back(line);
    }
    for (int32 i = 0; i < changes.getParameterCount(); ++i) {
        IParamValueQueue* queue = changes.getParameterData(i);
        for (int32 p = 0; p < queue->getPointCount(); ++p) {
            int32 offset = 0;
            ParamValue value = 0;
            queue->getPoint(p, offset, value);
            std::snprintf(line, sizeof line, "@%d param %u %.4f", offset, queue->getParameterId(), value);
            out.emplace_back(line);
        }
    }
    return out;
}

MidiMapping testMapping()
{
    MidiMapping mapping;
    for (int c = 0; c < 16; ++c) {
        mapping.assign(c, 7, 100u + static_cast<ParamID>(c));
        mapping.assign(c, kAfterTouch, 200u + static_cast<ParamID>(c));
        mapping.assign(c, kPitchBend, 300u + static_cast<ParamID>(c));
    }
    mapping.setProgramParameter(50, 7);
    return mapping;
}

struct TranslationCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> expected;
};

TEST(MidiTranslationTest, RawMessagesBecomeTheEventsAndParameterPointsOfAProcessCall)
{
    const TranslationCase cases[] = {
        {"note on", {0x90, 60, 127}, {"@0 on 0 60 1.000 id-1"}},
        {"note on, channel 16", {0x9F, 0, 64}, {"@0 on 15 0 0.504 id-1"}},
        {"note off with velocity", {0x83, 61, 127}, {"@0 off 3 61 1.000 id-1"}},
        {"velocity 0 is a note off", {0x90, 60, 0}, {"@0 off 0 60 0.000 id-1"}},
        {"running status", {0x90, 60, 100, 62, 100, 60, 0},
         {"@0 on 0 60 0.787 id-1", "@0 on 0 62 0.787 id-1", "@0 off 0 60 0.000 id-1"}},
        {"real-time bytes inside a message", {0x90, 0xF8, 60, 0xFE, 100}, {"@0 on 0 60 0.787 id-1"}},
        {"poly pressure", {0xA2, 64, 127}, {"@0 poly 2 64 1.000"}},
        {"mapped controller", {0xB1, 7, 127}, {"@0 param 101 1.0000"}},
        {"unmapped controller is dropped", {0xB0, 1, 64}, {}},
        {"channel pressure", {0xD4, 127}, {"@0 param 204 1.0000"}},
        {"pitch bend centre", {0xE0, 0x00, 0x40}, {"@0 param 300 0.5000"}},
        {"pitch bend top", {0xE5, 0x7F, 0x7F}, {"@0 param 305 1.0000"}},
        {"pitch bend bottom", {0xE0, 0, 0}, {"@0 param 300 0.0000"}},
        {"program change", {0xC0, 3}, {"@0 param 50 0.4286"}},
        {"program beyond the list", {0xC0, 100}, {"@0 param 50 1.0000"}},
        {"two points of one parameter", {0xB0, 7, 0, 0xB0, 7, 127}, {"@0 param 100 1.0000"}},
        {"all notes off ends sounding notes of its channel",
         {0x90, 60, 100, 0x90, 64, 100, 0x91, 60, 100, 0xB0, 123, 0},
         {"@0 on 0 60 0.787 id-1", "@0 on 0 64 0.787 id-1", "@0 on 1 60 0.787 id-1", "@0 off 0 60 0.000 id-1",
          "@0 off 0 64 0.000 id-1"}},
        {"all sound off", {0x92, 1, 1, 0xB2, 120, 0}, {"@0 on 2 1 0.008 id-1", "@0 off 2 1 0.000 id-1"}},
        {"a released note is not ended again", {0x90, 60, 100, 0x80, 60, 0, 0xB0, 123, 0},
         {"@0 on 0 60 0.787 id-1", "@0 off 0 60 0.000 id-1"}},
        {"system exclusive", {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {"@0 sysex 6 type0 lastF7"}},
        {"unfinished system exclusive is dropped", {0xF0, 0x7E, 0x7F, 0x90, 60, 100}, {"@0 on 0 60 0.787 id-1"}},
        {"system common cancels running status", {0x90, 60, 100, 0xF2, 1, 2, 62, 100}, {"@0 on 0 60 0.787 id-1"}},
        {"stray data bytes are skipped", {1, 2, 3, 0x90, 60, 100}, {"@0 on 0 60 0.787 id-1"}},
        {"cut short by the end", {0x90, 60}, {}},
    };
    const MidiMapping mapping = testMapping();
    for (const TranslationCase& c : cases) {
        SCOPED_TRACE(c.what);
        EventList events(256);
        ParameterChanges changes(16);
        MidiTranslator translator(mapping);
        for (const MidiMessage& message : splitRawMidi(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size())))
            translator.translate(message, 0, events, changes);
        EXPECT_EQ(describe(events, changes), c.expected);
    }
}

TEST(MidiTranslationTest, WithoutAMappingControllersPressureBendAndProgramsAreDropped)
{
    const MidiMapping none;
    EventList events(16);
    ParameterChanges changes(16);
    MidiTranslator translator(none);
    const std::uint8_t bytes[] = {0xB0, 7, 1, 0xD0, 5, 0xE0, 1, 2, 0xC0, 1};
    for (const MidiMessage& message : splitRawMidi(bytes, sizeof bytes))
        translator.translate(message, 3, events, changes);
    EXPECT_TRUE(describe(events, changes).empty());
}

// A message on channel 0 whose note number tells it apart.
MidiMessage noteOn(int pitch)
{
    MidiMessage message;
    message.status = 0x90;
    message.data1 = static_cast<std::uint8_t>(pitch);
    message.data2 = 1;
    return message;
}

// The pitches takeDue hands out for one piece, with their frames.
std::vector<std::pair<int, std::uint64_t>> due(MidiQueue& queue, std::uint64_t end)
{
    std::vector<std::pair<int, std::uint64_t>> out;
    queue.collect();
    queue.takeDue(end, 1 << 20, [&](const MidiMessage& m, std::uint64_t frame) { out.emplace_back(m.data1, frame); });
    queue.releaseDelivered();
    return out;
}

TEST(MidiTranslationTest, TimedMessagesComeSortedByFrameWithTiesInSendingOrderAndUntimedOnesFirst)
{
    MidiQueue queue;
    const MidiMessage timed[] = {noteOn(1), noteOn(2), noteOn(3), noteOn(4), noteOn(5)};
    const std::uint64_t frames[] = {700, 100, 700, 2000, 100};
    ASSERT_EQ(queue.send(timed, 5, frames), 5);
    const MidiMessage now[] = {noteOn(9)};
    ASSERT_EQ(queue.send(now, 1, nullptr), 1);
    using Due = std::vector<std::pair<int, std::uint64_t>>;
    EXPECT_EQ(due(queue, 512), (Due{{9, 0}, {2, 100}, {5, 100}}));
    EXPECT_EQ(due(queue, 1024), (Due{{1, 700}, {3, 700}}));
    EXPECT_EQ(due(queue, 1536), Due{});
    // Sent late, for a frame already past: due in the next piece.
    const MidiMessage late[] = {noteOn(6)};
    const std::uint64_t lateFrame[] = {10};
    ASSERT_EQ(queue.send(late, 1, lateFrame), 1);
    EXPECT_EQ(due(queue, 2048), (Due{{6, 10}, {4, 2000}}));
}

TEST(MidiTranslationTest, TheQueueTakesWhatFitsOfEventsAndSystemExclusiveAndTakesMoreOnceDelivered)
{
    MidiQueue queue;
    std::vector<MidiMessage> many(MidiQueue::kEvents + 10, noteOn(1));
    EXPECT_EQ(queue.send(many.data(), static_cast<std::int32_t>(many.size()), nullptr),
              static_cast<std::int32_t>(MidiQueue::kEvents));
    EXPECT_EQ(queue.send(many.data(), 1, nullptr), 0);
    EXPECT_EQ(due(queue, 1).size(), MidiQueue::kEvents);
    EXPECT_EQ(queue.send(many.data(), 3, nullptr), 3);
    EXPECT_EQ(due(queue, 1).size(), 3u);

    // 40 KB messages: one fits, a second waits for the first's delivery; one
    // larger than the whole room never fits.
    std::vector<std::uint8_t> big(40000, 0x11);
    big.front() = 0xF0;
    big.back() = 0xF7;
    MidiMessage sysex;
    sysex.status = 0xF0;
    sysex.bytes = big.data();
    sysex.size = static_cast<std::uint32_t>(big.size());
    const MidiMessage two[] = {sysex, sysex};
    EXPECT_EQ(queue.send(two, 2, nullptr), 1);
    EXPECT_EQ(queue.send(two, 1, nullptr), 0);
    queue.collect();
    std::vector<std::uint8_t> seen;
    queue.takeDue(1, 10, [&](const MidiMessage& m, std::uint64_t) { seen.assign(m.bytes, m.bytes + m.size); });
    EXPECT_EQ(seen, big);
    queue.releaseDelivered();
    // Wraps: placed at the ring's start, whole.
    EXPECT_EQ(queue.send(two, 1, nullptr), 1);
    seen.clear();
    queue.collect();
    queue.takeDue(1, 10, [&](const MidiMessage& m, std::uint64_t) { seen.assign(m.bytes, m.bytes + m.size); });
    EXPECT_EQ(seen, big);
    queue.releaseDelivered();
    std::vector<std::uint8_t> huge(MidiQueue::kSysexBytes + 1, 0);
    sysex.bytes = huge.data();
    sysex.size = static_cast<std::uint32_t>(huge.size());
    EXPECT_EQ(queue.send(&sysex, 1, nullptr), 0);
}

} // namespace
} // namespace talven
