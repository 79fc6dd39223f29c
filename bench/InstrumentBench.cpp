// ZamSynth (scripts/zam-plugins' build) as an instrument stream, two ways:
//
// BM_InstrumentSong: a 60-second song (a note every 1/8 s, each held
// 0.1 s: 960 events) rendered on a decoding stream through BASS, the events
// handed over ahead as timed events, against the same notes driven straight
// into the plug-in in 512-frame calls at their offsets. Figures:
//   whole_ms   the render through the library, events sent included
//   direct_ms  the plug-in driven directly
//   ratio      whole_ms / direct_ms
//
// BM_InstrumentEvents: one 512-frame block carrying 64 events (32 notes
// started and ended), per block (median), microseconds:
//   process_us  the plug-in's own call with those events, driven directly
//   library_us  the block through the library's stream procedure
//   deliver_us  library_us - process_us: translating and handing over the
//               events, beyond the plug-in's processing
//   send_us     the TALVEN_StreamEvents call that queued them (the sender's
//               thread)
//
// BM_EventDelivery: the delivery alone, without any plug-in: 64 events
// queued, then what a block does with them (moved into the schedule, cut
// into the call, translated into the event list and parameter changes, the
// list emptied after the call), per block (median), microseconds:
//   deliver_us  the block's part;   send_us  the queueing
#include "BenchSetup.h"
#include "DirectProcessor.h"

#include "events/MidiInput.h"
#include "instance/BassCallbacks.h"
#include "instance/PluginInstance.h"
#include "registry/Registry.h"
#include "sdk/EventList.h"
#include "sdk/ParameterChanges.h"
#include "talven.h"

#include "pluginterfaces/vst/ivstevents.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace talven::bench {
namespace {

constexpr int kFrames = 512;

std::string zamSynth()
{
    return std::string(TALVEN_ZAM_BUILD_DIR) + "/linux/ZamSynth.vst3";
}

TALVEN_MIDI_EVENT midi(std::uint64_t frame, std::uint8_t status, std::uint8_t pitch, std::uint8_t velocity)
{
    TALVEN_MIDI_EVENT event{};
    event.frame = frame;
    event.status = status;
    event.data1 = pitch;
    event.data2 = velocity;
    return event;
}

std::vector<TALVEN_MIDI_EVENT> song(int seconds)
{
    std::vector<TALVEN_MIDI_EVENT> events;
    const std::uint8_t scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (int i = 0; i < seconds * 8; ++i) {
        const std::uint64_t on = static_cast<std::uint64_t>(i) * kRate / 8;
        const std::uint8_t pitch = scale[i % 8];
        events.push_back(midi(on, 0x90, pitch, 100));
        events.push_back(midi(on + kRate / 10, 0x80, pitch, 0));
    }
    // In time order: each note ends before the next starts.
    return events;
}

Steinberg::Vst::Event vstNote(const TALVEN_MIDI_EVENT& m, Steinberg::int32 offset)
{
    Steinberg::Vst::Event e{};
    e.sampleOffset = offset;
    e.flags = Steinberg::Vst::Event::kIsLive;
    if (m.status == 0x90) {
        e.type = Steinberg::Vst::Event::kNoteOnEvent;
        e.noteOn = {0, static_cast<Steinberg::int16>(m.data1), 0.f, m.data2 / 127.f, 0, -1};
    } else {
        e.type = Steinberg::Vst::Event::kNoteOffEvent;
        e.noteOff = {0, static_cast<Steinberg::int16>(m.data1), 0.f, -1, 0.f};
    }
    return e;
}

// The instrument's stream and its record, reached as BASS reaches it.
class InstrumentStream {
public:
    InstrumentStream()
    {
        stream_ = TALVEN_StreamCreate(kRate, kChannels, zamSynth().c_str(), nullptr, BASS_STREAM_DECODE, &handle_);
        if (handle_)
            record_ = refInstance(handle_);
    }
    ~InstrumentStream()
    {
        if (record_)
            unrefHandle(handle_);
        if (stream_)
            BASS_StreamFree(stream_);
    }
    InstrumentStream(const InstrumentStream&) = delete;
    InstrumentStream& operator=(const InstrumentStream&) = delete;
    bool ready() const { return record_ != nullptr; }
    HSTREAM stream() const { return stream_; }
    std::uint32_t handle() const { return handle_; }
    void block(float* samples, int frames)
    {
        const auto bytes = static_cast<DWORD>(static_cast<std::size_t>(frames) * kChannels * sizeof(float));
        instrumentStreamProc(stream_, samples, bytes, record_);
    }

private:
    HSTREAM stream_ = 0;
    std::uint32_t handle_ = 0;
    PluginInstance* record_ = nullptr;
};

void BM_InstrumentSong(benchmark::State& state)
{
    TALVEN_SetTrace(0);
    const int seconds = 60;
    const std::vector<TALVEN_MIDI_EVENT> events = song(seconds);
    const std::uint64_t total = static_cast<std::uint64_t>(seconds) * kRate;
    std::vector<float> block(static_cast<std::size_t>(kFrames) * kChannels);
    double whole = 0;
    double direct = 0;
    for (auto _ : state) {
        {
            InstrumentStream instrument;
            if (!instrument.ready()) {
                state.SkipWithError(("cannot play " + zamSynth()).c_str());
                return;
            }
            const auto start = Clock::now();
            std::size_t next = 0;
            for (std::uint64_t done = 0; done < total; done += kFrames) {
                std::size_t end = next;
                while (end < events.size() && events[end].frame < done + 2 * kFrames)
                    ++end;
                if (end > next)
                    next += static_cast<std::size_t>(TALVEN_StreamEvents(
                        instrument.handle(), TALVEN_EVENTS_STRUCT | TALVEN_EVENTS_TIME, events.data() + next,
                        static_cast<std::uint32_t>(end - next)));
                BASS_ChannelGetData(instrument.stream(), block.data(),
                                    static_cast<DWORD>(block.size() * sizeof(float)) | BASS_DATA_FLOAT);
            }
            whole += microseconds(start, Clock::now()) / 1000.0;
            benchmark::DoNotOptimize(block.data());
        }
        {
            support::DirectProcessor plugin(zamSynth(), kRate);
            Steinberg::Vst::EventList list(4096);
            plugin.setEvents(&list);
            const std::vector<float> silence(block.size(), 0.f);
            const auto start = Clock::now();
            std::size_t next = 0;
            for (std::uint64_t done = 0; done < total; done += kFrames) {
                list.clear();
                for (; next < events.size() && events[next].frame < done + kFrames; ++next) {
                    Steinberg::Vst::Event e = vstNote(events[next], static_cast<Steinberg::int32>(events[next].frame - done));
                    list.addEvent(e);
                }
                plugin.load(silence.data(), kChannels, 0, kFrames);
                plugin.process(kFrames);
                plugin.store(block.data(), kChannels, 0, kFrames);
            }
            direct += microseconds(start, Clock::now()) / 1000.0;
            benchmark::DoNotOptimize(block.data());
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["whole_ms"] = whole / runs;
    state.counters["direct_ms"] = direct / runs;
    state.counters["ratio"] = whole / direct;
    TALVEN_SetTrace(1);
}

void BM_InstrumentEvents(benchmark::State& state)
{
    TALVEN_SetTrace(0);
    InstrumentStream instrument;
    support::DirectProcessor direct(zamSynth(), kRate);
    if (!instrument.ready() || !direct.ready()) {
        state.SkipWithError(("cannot play " + zamSynth()).c_str());
        return;
    }
    std::vector<TALVEN_MIDI_EVENT> events;
    for (int i = 0; i < 32; ++i) {
        events.push_back(midi(0, 0x90, static_cast<std::uint8_t>(40 + i), 90));
        events.push_back(midi(0, 0x80, static_cast<std::uint8_t>(40 + i), 0));
    }
    Steinberg::Vst::EventList list(4096);
    direct.setEvents(&list);
    std::vector<float> block(static_cast<std::size_t>(kFrames) * kChannels);
    const std::vector<float> silence(block.size(), 0.f);
    const auto expected = static_cast<std::size_t>(state.max_iterations);
    Timings process(expected), library(expected), send(expected);
    for (auto _ : state) {
        list.clear();
        for (const TALVEN_MIDI_EVENT& m : events) {
            Steinberg::Vst::Event e = vstNote(m, 0);
            list.addEvent(e);
        }
        auto t0 = Clock::now();
        direct.load(silence.data(), kChannels, 0, kFrames);
        direct.process(kFrames);
        direct.store(block.data(), kChannels, 0, kFrames);
        auto t1 = Clock::now();
        TALVEN_StreamEvents(instrument.handle(), TALVEN_EVENTS_STRUCT, events.data(),
                            static_cast<std::uint32_t>(events.size()));
        auto t2 = Clock::now();
        instrument.block(block.data(), kFrames);
        auto t3 = Clock::now();
        process.add(microseconds(t0, t1));
        send.add(microseconds(t1, t2));
        library.add(microseconds(t2, t3));
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["process_us"] = process.median();
    state.counters["library_us"] = library.median();
    state.counters["deliver_us"] = library.median() - process.median();
    state.counters["send_us"] = send.median();
    TALVEN_SetTrace(1);
}

void BM_EventDelivery(benchmark::State& state)
{
    MidiInput input;
    for (int c = 0; c < 16; ++c)
        input.mapping().assign(c, 7, 100u + static_cast<Steinberg::Vst::ParamID>(c));
    Steinberg::Vst::ParameterChanges changes(64);
    std::vector<MidiMessage> messages;
    for (int i = 0; i < 16; ++i) {
        const auto pitch = static_cast<std::uint8_t>(40 + i);
        messages.push_back({0x90, pitch, 90, nullptr, 0});
        messages.push_back({0xB0, 7, pitch, nullptr, 0});
        messages.push_back({0xA0, pitch, 30, nullptr, 0});
        messages.push_back({0x80, pitch, 0, nullptr, 0});
    }
    const auto expected = static_cast<std::size_t>(state.max_iterations);
    Timings deliver(expected), send(expected);
    std::uint64_t frame = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        input.queue().send(messages.data(), static_cast<std::int32_t>(messages.size()), nullptr);
        auto t1 = Clock::now();
        const Steinberg::int32 count = input.pieceLength(frame, kFrames);
        input.deliver(frame, count, changes);
        benchmark::DoNotOptimize(input.events()->getEventCount());
        input.finishCall();
        changes.clearQueue();
        auto t2 = Clock::now();
        frame += kFrames;
        send.add(microseconds(t0, t1));
        deliver.add(microseconds(t1, t2));
    }
    state.counters["deliver_us"] = deliver.median();
    state.counters["send_us"] = send.median();
}

} // namespace

BENCHMARK(BM_EventDelivery)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InstrumentSong)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstrumentEvents)->Unit(benchmark::kMicrosecond);

} // namespace talven::bench
