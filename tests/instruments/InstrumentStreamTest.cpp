// Instrument streams end to end, against the event recorder: events reach
// the plug-in at their frame, in order, once; every free path lets the
// instrument go; bad input fails with nothing left behind.
#include "InstrumentTestSupport.h"
#include "TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>

namespace talven {
namespace {

using test::EngineTest;
using test::EventRecorder;
using test::midiAt;

class InstrumentStreamTest : public EngineTest {
protected:
    // A decoding stereo stream of the recorder's instrument.
    HSTREAM createStream(std::uint32_t* handle, DWORD chans = 2)
    {
        return TALVEN_StreamCreate(test::kRate, chans, recorder.path().c_str(), nullptr, BASS_STREAM_DECODE,
                                   handle);
    }
    // Frames of channel 0 of what the stream renders next.
    std::vector<float> render(HSTREAM stream, int frames, int channels = 2)
    {
        const std::vector<float> all = pull(stream, channels, frames);
        std::vector<float> left;
        for (std::size_t i = 0; i < all.size(); i += static_cast<std::size_t>(channels))
            left.push_back(all[i]);
        return left;
    }
    static int firstSounding(const std::vector<float>& left)
    {
        const auto it = std::find_if(left.begin(), left.end(), [](float s) { return s != 0.f; });
        return it == left.end() ? -1 : static_cast<int>(it - left.begin());
    }

    EventRecorder recorder;
};

TEST_F(InstrumentStreamTest, ATimedNoteOnStartsTheSoundAtExactlyItsFrameAndItsNoteOffEndsIt)
{
    // Frames at block starts and ends, inside blocks, and past the longest
    // piece a process call gets (4096).
    const std::uint64_t frames[] = {0, 1, 511, 512, 1000, 4095, 4096, 4097, 9000};
    for (const std::uint64_t frame : frames) {
        SCOPED_TRACE(frame);
        recorder.reset();
        std::uint32_t handle = 0;
        const HSTREAM stream = createStream(&handle);
        ASSERT_NE(stream, 0u);
        ASSERT_NE(handle, 0u);
        const TALVEN_MIDI_EVENT notes[] = {midiAt(frame + 300, 0x80, 60, 0), midiAt(frame, 0x90, 60, 100)};
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, notes, 2), 2);
        std::vector<float> left;
        // Blocks of 512 frames, as BASS asks for them.
        while (left.size() < frame + 1000) {
            const std::vector<float> block = render(stream, 512);
            left.insert(left.end(), block.begin(), block.end());
        }
        EXPECT_EQ(firstSounding(left), static_cast<int>(frame));
        EXPECT_EQ(left[frame + 299], 0.5f);
        EXPECT_EQ(left[frame + 300], 0.f);
        const auto ons = recorder.events(TALVEN_RECORDED_NOTE_ON);
        const auto offs = recorder.events(TALVEN_RECORDED_NOTE_OFF);
        ASSERT_EQ(ons.size(), 1u);
        ASSERT_EQ(offs.size(), 1u);
        EXPECT_EQ(ons[0].frame, static_cast<std::int64_t>(frame));
        // A call starts at each event's frame, so that plug-ins applying
        // a call's events at its start play them in time too.
        EXPECT_EQ(ons[0].offset, 0);
        EXPECT_EQ(ons[0].noteId, -1);
        EXPECT_FLOAT_EQ(static_cast<float>(ons[0].value), 100.f / 127.f);
        EXPECT_EQ(offs[0].frame, static_cast<std::int64_t>(frame + 300));
        EXPECT_TRUE(BASS_StreamFree(stream));
    }
}

TEST_F(InstrumentStreamTest, AnEffectWithAnEventInputTakesTimedEventsAtTheFramesOfItsChannel)
{
    const HSTREAM channel = decodeStream(2);
    const std::uint32_t effect = TALVEN_ChannelSetDSPClass(channel, recorder.path().c_str(), test::kRecorderEffectId,
                                                           0, 0, 0, 0, nullptr, "");
    ASSERT_NE(effect, 0u);
    pull(channel, 2, 700);
    // Frames inside the coming blocks, and one already past.
    const std::uint64_t frames[] = {300, 900, 1234, 2047, 5000};
    std::vector<TALVEN_MIDI_EVENT> notes;
    for (const std::uint64_t frame : frames)
        notes.push_back(midiAt(frame, 0x90, static_cast<std::uint8_t>(frame % 128), 1));
    ASSERT_EQ(TALVEN_StreamEvents(effect, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, notes.data(),
                                  static_cast<std::uint32_t>(notes.size())),
              5);
    // The effect passes the channel through while it takes the events.
    EXPECT_EQ(pull(channel, 2, 5000), test::signalBlock(700, 2, 5000));
    std::vector<std::int64_t> got;
    for (const TalvenRecordedEvent& e : recorder.events(TALVEN_RECORDED_NOTE_ON))
        got.push_back(e.frame);
    EXPECT_EQ(got, (std::vector<std::int64_t>{700, 900, 1234, 2047, 5000}));
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(channel, effect), 1);
    EXPECT_TRUE(BASS_StreamFree(channel));
}

TEST_F(InstrumentStreamTest, UntimedAndPastEventsTakeEffectAtTheNextBlocksStartInOrder)
{
    std::uint32_t handle = 0;
    const HSTREAM stream = createStream(&handle);
    ASSERT_NE(stream, 0u);
    render(stream, 1000);
    const std::uint8_t raw[] = {0x90, 60, 100, 62, 100, 0xB0, 7, 64, 0xE0, 0, 0x40, 0xD0, 127, 0xC0, 7,
                                0xA0, 60, 50, 0xF0, 0x7D, 0x01, 0xF7, 0xB0, 123, 0};
    EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_RAW, raw, sizeof raw), 9);
    const TALVEN_MIDI_EVENT past[] = {midiAt(10, 0x91, 70, 127)};
    EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, past, 1), 1);
    render(stream, 256);
    std::vector<std::string> got;
    for (const TalvenRecordedEvent& e : recorder.events()) {
        EXPECT_EQ(e.frame, 1000) << e.kind;
        EXPECT_EQ(e.offset, 0);
        got.push_back(std::to_string(e.kind) + ":" + std::to_string(e.kind == TALVEN_RECORDED_PARAMETER ? e.id : e.pitch));
    }
    // The parameter points come first (they travel beside the events),
    // then the events in sending order, the late one last.
    const std::vector<std::string> expected = {"4:100", "4:300", "4:200", "4:50", "0:60", "0:62", "2:60", "3:0",
                                               "1:60", "1:62", "0:70"};
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(InstrumentStreamTest, EveryEventOfABurstFromFourThreadsArrivesOnceInOrderPerThread)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 2500;
    std::uint32_t handle = 0;
    const HSTREAM stream = createStream(&handle);
    ASSERT_NE(stream, 0u);
    std::atomic<int> sendersDone{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            // Thread t sends on channel t; pitch and velocity count its events.
            for (int sent = 0; sent < kPerThread;) {
                const int n = std::min(kPerThread - sent, 7);
                std::vector<TALVEN_MIDI_EVENT> events;
                for (int i = sent; i < sent + n; ++i)
                    events.push_back(midiAt(0, static_cast<std::uint8_t>(0xA0 | t), static_cast<std::uint8_t>(i % 128),
                                            static_cast<std::uint8_t>(i / 128)));
                const int taken = TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, events.data(), static_cast<std::uint32_t>(n));
                if (taken < 0)
                    return;
                sent += taken;
                if (taken < n)
                    std::this_thread::yield();
            }
            ++sendersDone;
        });
    }
    // Pulled meanwhile, and a little beyond, until every event arrived (a
    // generous bound against a hang).
    for (int round = 0; round < 200000; ++round) {
        render(stream, 256);
        if (sendersDone.load() == kThreads && recorder.events().size() >= kThreads * kPerThread)
            break;
    }
    for (std::thread& sender : senders)
        sender.join();
    render(stream, 256);
    std::vector<int> next(kThreads, 0);
    int unexpected = 0;
    for (const TalvenRecordedEvent& e : recorder.events(TALVEN_RECORDED_POLY_PRESSURE)) {
        const int sequence = e.pitch + 128 * static_cast<int>(std::lround(e.value * 127));
        if (e.channel < 0 || e.channel >= kThreads || sequence != next[static_cast<std::size_t>(e.channel)]++)
            ++unexpected;
    }
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(next, std::vector<int>(kThreads, kPerThread));
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(InstrumentStreamTest, TheQueueTakesWhatFitsAndMoreOnceABlockDeliveredIt)
{
    std::uint32_t handle = 0;
    const HSTREAM stream = createStream(&handle);
    ASSERT_NE(stream, 0u);
    std::vector<TALVEN_MIDI_EVENT> many(5000, midiAt(0, 0xA0, 1, 1));
    EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, many.data(), 5000), 4096);
    EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, many.data(), 1), 0);
    render(stream, 64);
    EXPECT_EQ(recorder.events().size(), 4096u);
    EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, many.data(), 1), 1);
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(InstrumentStreamTest, AnyFreeOfTheStreamLetsTheInstrumentGoAndAnEffectOnItGoesAlong)
{
    enum class FreeBy { bassStreamFree, talvenChannelFree, removeWithTheHandle, stopWithAutoFree };
    const FreeBy ways[] = {FreeBy::bassStreamFree, FreeBy::talvenChannelFree, FreeBy::removeWithTheHandle,
                           FreeBy::stopWithAutoFree};
    for (const FreeBy way : ways) {
        SCOPED_TRACE(static_cast<int>(way));
        recorder.reset();
        // An auto-free stream plays (BASS never frees a decoding one) and
        // BASS frees it when it is stopped.
        const bool autoFree = way == FreeBy::stopWithAutoFree;
        std::uint32_t handle = 0;
        const HSTREAM stream = autoFree ? TALVEN_StreamCreate(test::kRate, 2, recorder.path().c_str(), nullptr,
                                                              BASS_STREAM_AUTOFREE, &handle)
                                        : createStream(&handle);
        ASSERT_NE(stream, 0u);
        // Every handle function works with the instrument's handle.
        EXPECT_GT(TALVEN_GetParamCount(handle), 40);
        EXPECT_EQ(TALVEN_GetBypass(handle), 0);
        // An effect with an event input on the stream takes events too.
        const std::uint32_t effect = TALVEN_ChannelSetDSPClass(stream, recorder.path().c_str(),
                                                               test::kRecorderEffectId, 0, 0, 0, 0, nullptr, "");
        ASSERT_NE(effect, 0u);
        const TALVEN_MIDI_EVENT note[] = {midiAt(0, 0x95, 1, 1)};
        EXPECT_EQ(TALVEN_StreamEvents(effect, TALVEN_EVENTS_STRUCT, note, 1), 1);
        if (autoFree) {
            ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
            EXPECT_TRUE(test::waitUntil([&] { return recorder.events(TALVEN_RECORDED_NOTE_ON).size() == 1u; }));
        } else {
            render(stream, 128);
            EXPECT_EQ(recorder.events(TALVEN_RECORDED_NOTE_ON).size(), 1u);
        }
        switch (way) {
        case FreeBy::bassStreamFree: EXPECT_TRUE(BASS_StreamFree(stream)); break;
        case FreeBy::talvenChannelFree: EXPECT_EQ(TALVEN_ChannelFree(stream), 1); break;
        case FreeBy::removeWithTheHandle:
            EXPECT_EQ(TALVEN_ChannelRemoveDSP(stream, handle), 1);
            EXPECT_FALSE(BASS_StreamFree(stream));
            break;
        case FreeBy::stopWithAutoFree:
            EXPECT_TRUE(BASS_ChannelStop(stream));
            EXPECT_FALSE(BASS_StreamFree(stream)); // BASS freed it
            break;
        }
        EXPECT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, note, 1), -1);
        EXPECT_EQ(TALVEN_StreamEvents(effect, TALVEN_EVENTS_STRUCT, note, 1), -1);
        EXPECT_EQ(TALVEN_GetParamCount(handle), 0);
        DWORD dsps = 1, syncs = 1;
        ASSERT_TRUE(BASSTEST_GetCallbackCounts(0, &dsps, &syncs));
        EXPECT_EQ(dsps, 0u);
        EXPECT_EQ(syncs, 0u);
    }
}

TEST_F(InstrumentStreamTest, TheInstrumentsHandleWorksWithTheHandleFunctions)
{
    std::uint32_t handle = 0;
    const HSTREAM stream = createStream(&handle);
    ASSERT_NE(stream, 0u);
    TALVEN_INFO info{};
    info.size = sizeof info;
    ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
    EXPECT_STREQ(info.plugin.name, "Talven Event Recorder");
    EXPECT_STREQ(info.plugin.classId, test::kRecorderInstrumentId);
    EXPECT_EQ(info.inputChannels, 0);
    EXPECT_EQ(info.outputChannels, 2);
    const std::uint32_t volume = TALVEN_RECORDER_VOLUME_BASE + 3;
    EXPECT_EQ(TALVEN_SetParam(handle, volume, 0.25f), 0);
    EXPECT_DOUBLE_EQ(TALVEN_GetParam(handle, volume), 0.25);
    render(stream, 64);
    // The edit reached the processor with the next block, as for effects.
    const auto points = recorder.events(TALVEN_RECORDED_PARAMETER);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].id, volume);
    EXPECT_EQ(TALVEN_SetTransport(handle, 90.0, 3, 4), 1);
    EXPECT_EQ(TALVEN_SetEditorCallback(handle, nullptr, nullptr), 1);
    EXPECT_EQ(TALVEN_StorePreset("instrument.vstpreset", 0, handle), 1);
    EXPECT_EQ(TALVEN_RecallPreset("instrument.vstpreset", handle), 1);
    const std::int32_t size = TALVEN_GetState(handle, nullptr, 0);
    ASSERT_GT(size, 0);
    std::vector<char> state(static_cast<std::size_t>(size));
    ASSERT_EQ(TALVEN_GetState(handle, state.data(), size), size);
    EXPECT_EQ(TALVEN_SetState(handle, state.data(), size), 1);
    EXPECT_TRUE(BASS_StreamFree(stream));
    EXPECT_EQ(TALVEN_GetInfo(handle, &info), 0);
}

TEST_F(InstrumentStreamTest, BypassSilencesTheInstrumentAndLayoutsOfOneToEightChannelsRender)
{
    for (DWORD chans = 1; chans <= 8; ++chans) {
        SCOPED_TRACE(chans);
        std::uint32_t handle = 0;
        const HSTREAM stream = createStream(&handle, chans);
        ASSERT_NE(stream, 0u);
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
        EXPECT_EQ(info.chans, chans);
        EXPECT_NE(info.flags & BASS_SAMPLE_FLOAT, 0u);
        const TALVEN_MIDI_EVENT note[] = {midiAt(0, 0x90, 60, 100)};
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, note, 1), 1);
        const std::vector<float> all = pull(stream, static_cast<int>(chans), 64);
        EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](float s) { return s == 0.5f; }));
        ASSERT_EQ(TALVEN_SetBypass(handle, 1), 1);
        const std::vector<float> bypassed = pull(stream, static_cast<int>(chans), 64);
        EXPECT_TRUE(std::all_of(bypassed.begin(), bypassed.end(), [](float s) { return s == 0.f; }));
        // What is sent while bypassed is dropped, not played on switching back.
        recorder.reset();
        ASSERT_EQ(TALVEN_StreamEvents(handle, TALVEN_EVENTS_STRUCT, note, 1), 1);
        pull(stream, static_cast<int>(chans), 64);
        ASSERT_EQ(TALVEN_SetBypass(handle, 0), 1);
        pull(stream, static_cast<int>(chans), 64);
        EXPECT_TRUE(recorder.events(TALVEN_RECORDED_NOTE_ON).empty());
        EXPECT_TRUE(BASS_StreamFree(stream));
    }
}

TEST_F(InstrumentStreamTest, BadInputFailsAndLeavesNothingBehind)
{
    struct CreateCase {
        const char* what;
        DWORD freq;
        DWORD chans;
        std::string path;
        const char* classId;
    };
    const std::string missing = recorder.path() + ".missing";
    const CreateCase creates[] = {
        {"rate too low", 7999, 2, recorder.path(), nullptr},
        {"rate too high", 384001, 2, recorder.path(), nullptr},
        {"no channels", test::kRate, 0, recorder.path(), nullptr},
        {"nine channels", test::kRate, 9, recorder.path(), nullptr},
        {"missing module", test::kRate, 2, missing, nullptr},
        {"an effect's class", test::kRate, 2, recorder.path(), test::kRecorderEffectId},
        {"a class id that is no id", test::kRate, 2, recorder.path(), "A001"},
        {"a module without instruments", test::kRate, 2, test::testPluginPath("ProbeStereo"), nullptr},
    };
    for (const CreateCase& c : creates) {
        SCOPED_TRACE(c.what);
        std::uint32_t handle = 77;
        EXPECT_EQ(TALVEN_StreamCreate(c.freq, c.chans, c.path.c_str(), c.classId, BASS_STREAM_DECODE, &handle), 0u);
        EXPECT_EQ(handle, 0u);
    }
    EXPECT_EQ(TALVEN_StreamCreate(test::kRate, 2, nullptr, nullptr, 0, nullptr), 0u);
    // The edges of the range are fine.
    for (const DWORD freq : {8000u, 384000u}) {
        const HSTREAM stream = TALVEN_StreamCreate(freq, 1, recorder.path().c_str(), test::kRecorderInstrumentId,
                                                   BASS_STREAM_DECODE, nullptr);
        EXPECT_NE(stream, 0u) << freq;
        EXPECT_TRUE(BASS_StreamFree(stream));
    }
    // Effects' attach keeps refusing instruments.
    const HSTREAM channel = decodeStream(2);
    EXPECT_EQ(TALVEN_ChannelSetDSPClass(channel, recorder.path().c_str(), test::kRecorderInstrumentId, 0, 0, 0, 0,
                                        nullptr, ""),
              0u);
    EXPECT_EQ(TALVEN_ChannelSetDSP(channel, recorder.path().c_str(), 0, 0, 0, 0, 0, nullptr, ""), 0u);

    std::uint32_t handle = 0;
    const HSTREAM stream = createStream(&handle);
    ASSERT_NE(stream, 0u);
    const std::uint32_t plain = TALVEN_ChannelSetDSP(channel, test::testPluginPath("ProbeStereo").c_str(), 0, 0, 0,
                                                     0, 0, nullptr, "");
    ASSERT_NE(plain, 0u);
    const TALVEN_MIDI_EVENT good[] = {midiAt(0, 0x90, 60, 100)};
    TALVEN_MIDI_EVENT badStatus[] = {midiAt(0, 0x90, 60, 100), midiAt(0, 0x40, 1, 1)};
    TALVEN_MIDI_EVENT badData[] = {midiAt(0, 0x90, 200, 100)};
    TALVEN_MIDI_EVENT sysexWithoutBytes[] = {midiAt(0, 0xF0, 0, 0)};
    sysexWithoutBytes[0].size = 4;
    const std::uint8_t raw[] = {0x90, 60, 100};
    struct EventsCase {
        const char* what;
        std::uint32_t handle;
        std::uint32_t mode;
        const void* events;
        std::uint32_t length;
        std::int32_t result;
    };
    const EventsCase calls[] = {
        {"handle 0", 0, TALVEN_EVENTS_STRUCT, good, 1, -1},
        {"unknown handle", handle + 1000, TALVEN_EVENTS_STRUCT, good, 1, -1},
        {"an effect without event input", plain, TALVEN_EVENTS_STRUCT, good, 1, -1},
        {"raw with time", handle, TALVEN_EVENTS_RAW | TALVEN_EVENTS_TIME, raw, 3, -1},
        {"unknown mode", handle, 2, good, 1, -1},
        {"unknown flag", handle, TALVEN_EVENTS_STRUCT | 0x20000, good, 1, -1},
        {"null events with a length", handle, TALVEN_EVENTS_STRUCT, nullptr, 1, -1},
        {"null raw bytes with a length", handle, TALVEN_EVENTS_RAW, nullptr, 3, -1},
        {"a status byte that is none", handle, TALVEN_EVENTS_STRUCT, badStatus, 2, -1},
        {"a data byte above 127", handle, TALVEN_EVENTS_STRUCT, badData, 1, -1},
        {"system exclusive without bytes", handle, TALVEN_EVENTS_STRUCT, sysexWithoutBytes, 1, -1},
        {"nothing to send", handle, TALVEN_EVENTS_STRUCT, nullptr, 0, 0},
        {"raw bytes with no message", handle, TALVEN_EVENTS_RAW, raw + 1, 2, 0},
    };
    for (const EventsCase& c : calls) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TALVEN_StreamEvents(c.handle, c.mode, c.events, c.length), c.result);
    }
    render(stream, 64);
    EXPECT_TRUE(recorder.events().empty());
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(channel, plain), 1);
    EXPECT_TRUE(BASS_StreamFree(stream));
    EXPECT_TRUE(BASS_StreamFree(channel));
    DWORD dsps = 1, syncs = 1;
    ASSERT_TRUE(BASSTEST_GetCallbackCounts(0, &dsps, &syncs));
    EXPECT_EQ(dsps + syncs, 0u);
}

} // namespace
} // namespace talven
