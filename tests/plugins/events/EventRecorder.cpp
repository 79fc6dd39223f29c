// An instrument and an effect with an event input that note every event and
// parameter point they are given, with its offset and stream frame. While a
// note sounds the instrument writes 0.5 to every output channel, from the
// note on's offset to the note off's, so that where sound starts can be
// checked in the audio too. The effect passes its input through.
#include "EntryPoints.h"
#include "EventRecorderExports.h"
#include "PassThroughEffect.h"

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/vstbus.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// Room made up front, so that noting events allocates nothing in the
// blocks the allocation test counts.
struct Record {
    Record() { events.reserve(1 << 15); }
    std::mutex lock;
    std::vector<TalvenRecordedEvent> events;
};

Record& record()
{
    static Record shared;
    return shared;
}

void note(const TalvenRecordedEvent& event)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    record().events.push_back(event);
}

class RecorderProcessor : public talven::testplugin::PassThroughProcessor {
public:
    RecorderProcessor(const FUID& controllerClass, bool instrument)
        : PassThroughProcessor(controllerClass), instrument_(instrument)
    {
    }

    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = instrument_ ? Component::initialize(context)
                                           : PassThroughProcessor::initialize(context);
        if (result != kResultOk)
            return result;
        if (instrument_)
            audioOutputs.push_back(IPtr<Bus>(
                new AudioBus(STR16("Output"), kMain, BusInfo::kDefaultActive, SpeakerArr::kStereo), false));
        eventInputs.push_back(IPtr<Bus>(new EventBus(STR16("Events"), 16, kMain, BusInfo::kDefaultActive), false));
        return kResultOk;
    }

    tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                          int32 numOuts) override
    {
        if (!instrument_)
            return PassThroughProcessor::setBusArrangements(inputs, numIns, outputs, numOuts);
        // Any layout of up to 8 channels on the one output.
        if (numIns != 0 || numOuts != 1 || !outputs || SpeakerArr::getChannelCount(outputs[0]) < 1 ||
            SpeakerArr::getChannelCount(outputs[0]) > 8)
            return kResultFalse;
        static_cast<AudioBus*>(audioOutputs.at(0).get())->setArrangement(outputs[0]);
        return kResultTrue;
    }

    tresult PLUGIN_API setActive(TBool state) override
    {
        sounding_ = 0;
        return PassThroughProcessor::setActive(state);
    }

    tresult PLUGIN_API process(ProcessData& data) override
    {
        const int64 start = data.processContext ? data.processContext->projectTimeSamples : -1;
        noteParameters(data.inputParameterChanges, start);
        IEventList* events = data.inputEvents;
        const int32 count = events ? events->getEventCount() : 0;
        int32 written = 0;
        for (int32 i = 0; i < count; ++i) {
            Event e{};
            if (events->getEvent(i, e) != kResultOk)
                continue;
            const int32 offset = std::clamp(e.sampleOffset, 0, std::max(data.numSamples, 0));
            fill(data, written, offset);
            written = offset;
            noteEvent(e, start);
            if (e.type == Event::kNoteOnEvent)
                ++sounding_;
            else if (e.type == Event::kNoteOffEvent && sounding_ > 0)
                --sounding_;
        }
        fill(data, written, data.numSamples);
        if (!instrument_)
            return PassThroughProcessor::process(data);
        return kResultOk;
    }

private:
    // The instrument's output from frame `from` to `to`: 0.5 while a note
    // sounds, else silence.
    void fill(ProcessData& data, int32 from, int32 to) const
    {
        if (!instrument_ || data.numOutputs < 1 || !data.outputs || to <= from)
            return;
        AudioBusBuffers& out = data.outputs[0];
        for (int32 c = 0; c < out.numChannels; ++c)
            std::fill(out.channelBuffers32[c] + from, out.channelBuffers32[c] + to, sounding_ > 0 ? 0.5f : 0.f);
    }

    static void noteEvent(const Event& e, int64 start)
    {
        TalvenRecordedEvent r{};
        r.offset = e.sampleOffset;
        r.frame = start + e.sampleOffset;
        switch (e.type) {
        case Event::kNoteOnEvent:
            r.kind = TALVEN_RECORDED_NOTE_ON;
            r.channel = e.noteOn.channel;
            r.pitch = e.noteOn.pitch;
            r.noteId = e.noteOn.noteId;
            r.value = e.noteOn.velocity;
            break;
        case Event::kNoteOffEvent:
            r.kind = TALVEN_RECORDED_NOTE_OFF;
            r.channel = e.noteOff.channel;
            r.pitch = e.noteOff.pitch;
            r.noteId = e.noteOff.noteId;
            r.value = e.noteOff.velocity;
            break;
        case Event::kPolyPressureEvent:
            r.kind = TALVEN_RECORDED_POLY_PRESSURE;
            r.channel = e.polyPressure.channel;
            r.pitch = e.polyPressure.pitch;
            r.noteId = e.polyPressure.noteId;
            r.value = e.polyPressure.pressure;
            break;
        case Event::kDataEvent:
            r.kind = TALVEN_RECORDED_DATA;
            r.id = e.data.type;
            r.size = e.data.size;
            std::memcpy(r.bytes, e.data.bytes, std::min<std::size_t>(e.data.size, sizeof r.bytes));
            break;
        default:
            return;
        }
        note(r);
    }

    static void noteParameters(IParameterChanges* changes, int64 start)
    {
        const int32 count = changes ? changes->getParameterCount() : 0;
        for (int32 i = 0; i < count; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            for (int32 p = 0; queue && p < queue->getPointCount(); ++p) {
                TalvenRecordedEvent r{};
                r.kind = TALVEN_RECORDED_PARAMETER;
                r.id = queue->getParameterId();
                if (queue->getPoint(p, r.offset, r.value) != kResultOk)
                    continue;
                r.frame = start + r.offset;
                note(r);
            }
        }
    }

    const bool instrument_;
    int32 sounding_ = 0;
};

class RecorderController : public EditControllerEx1, public IMidiMapping {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = EditControllerEx1::initialize(context);
        if (result != kResultOk)
            return result;
        for (ParamID c = 0; c < 16; ++c) {
            parameters.addParameter(STR16("Volume"), nullptr, 0, 1.0, ParameterInfo::kIsHidden,
                                    TALVEN_RECORDER_VOLUME_BASE + c);
            parameters.addParameter(STR16("Pressure"), nullptr, 0, 0.0, ParameterInfo::kIsHidden,
                                    TALVEN_RECORDER_PRESSURE_BASE + c);
            parameters.addParameter(STR16("Bend"), nullptr, 0, 0.5, ParameterInfo::kIsHidden,
                                    TALVEN_RECORDER_BEND_BASE + c);
        }
        parameters.addParameter(STR16("Program"), nullptr, TALVEN_RECORDER_PROGRAM_STEPS, 0.0,
                                ParameterInfo::kIsProgramChange | ParameterInfo::kIsList, TALVEN_RECORDER_PROGRAM);
        return kResultOk;
    }

    tresult PLUGIN_API getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber number,
                                                   ParamID& id) override
    {
        if (busIndex != 0 || channel < 0 || channel > 15)
            return kResultFalse;
        if (number == 7)
            id = TALVEN_RECORDER_VOLUME_BASE + static_cast<ParamID>(channel);
        else if (number == kAfterTouch)
            id = TALVEN_RECORDER_PRESSURE_BASE + static_cast<ParamID>(channel);
        else if (number == kPitchBend)
            id = TALVEN_RECORDER_BEND_BASE + static_cast<ParamID>(channel);
        else
            return kResultFalse;
        return kResultTrue;
    }

    OBJ_METHODS(RecorderController, EditControllerEx1)
    DEFINE_INTERFACES
        DEF_INTERFACE(IMidiMapping)
    END_DEFINE_INTERFACES(EditControllerEx1)
    REFCOUNT_METHODS(EditControllerEx1)
};

const talven::testplugin::TestFactoryDescription& description()
{
    static const FUID instrumentUid(0x7A1E0009, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
    static const FUID effectUid(0x7A1E0009, 0x5E7A4C11, 0x9D3B2F60, 0x0000A002);
    static const FUID controllerUid(0x7A1E0009, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);
    static const talven::testplugin::TestClass classes[] = {
        {instrumentUid, kVstAudioEffectClass, "Talven Event Recorder", ComponentFlags::kDistributable,
         "Instrument|Synth",
         [] { return static_cast<FUnknown*>(static_cast<IAudioProcessor*>(new RecorderProcessor(controllerUid, true))); }},
        {effectUid, kVstAudioEffectClass, "Talven Event Effect", ComponentFlags::kDistributable, "Fx",
         [] { return static_cast<FUnknown*>(static_cast<IAudioProcessor*>(new RecorderProcessor(controllerUid, false))); }},
        {controllerUid, kVstComponentControllerClass, "Talven Event Recorder Controller", 0, "",
         [] { return static_cast<FUnknown*>(static_cast<IEditController*>(new RecorderController)); }},
    };
    static const talven::testplugin::TestFactoryDescription table{
        "Talven Tests", "https://talven.invalid", "tests@talven.invalid", classes, 3, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)

extern "C" {

SMTG_EXPORT_SYMBOL int32_t TalvenEventsRead(TalvenRecordedEvent* out, int32_t capacity)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    const auto count = static_cast<int32_t>(record().events.size());
    for (int32_t i = 0; out && i < std::min(count, capacity); ++i)
        out[i] = record().events[static_cast<std::size_t>(i)];
    return count;
}

SMTG_EXPORT_SYMBOL void TalvenEventsReset(void)
{
    const std::lock_guard<std::mutex> guard(record().lock);
    record().events.clear();
}

} // extern "C"
