// A polyphonic instrument built with JUCE whose every output frame can be
// predicted exactly: each sounding note adds its velocity / 127 to the left
// channel, scaled by its MIDI channel's volume (CC 7 / 127, 127 at first)
// and by the Level parameter; the right channel is the left one times the
// channel's pitch wheel / 8192 (1 at the centre). Notes start and stop at
// exactly the frame of their event and have no release, so an event's
// timing shows as a step in the output. Invert flips both channels' sign.
// CC and pitch bend arrive as JUCE's VST 3 wrapper makes them by default:
// hidden parameters of its IMidiMapping, turned back into MIDI messages.
#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

namespace {

constexpr int kChannels = 16;
constexpr int kMaxVoices = 32;

juce::AudioProcessorValueTreeState::ParameterLayout makeLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add(std::make_unique<juce::AudioParameterFloat>(
        juce::ParameterID{"level", 1}, "Level", juce::NormalisableRange<float>(0.0f, 1.0f), 0.5f));
    layout.add(std::make_unique<juce::AudioParameterBool>(juce::ParameterID{"invert", 1}, "Invert", false));
    return layout;
}

class SynthProcessor final : public juce::AudioProcessor {
public:
    SynthProcessor()
        : AudioProcessor(BusesProperties().withOutput("Output", juce::AudioChannelSet::stereo(), true)),
          state_(*this, nullptr, "TalvenJuceSynth", makeLayout())
    {
        level_ = state_.getRawParameterValue("level");
        invert_ = state_.getRawParameterValue("invert");
        resetChannels();
    }

    const juce::String getName() const override { return "TalvenJuceSynth"; }
    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return false; }
    double getTailLengthSeconds() const override { return 0.0; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int) override {}
    const juce::String getProgramName(int) override { return "Default"; }
    void changeProgramName(int, const juce::String&) override {}

    bool isBusesLayoutSupported(const BusesLayout& layouts) const override
    {
        return layouts.getMainInputChannelSet().isDisabled()
               && layouts.getMainOutputChannelSet() == juce::AudioChannelSet::stereo();
    }

    void prepareToPlay(double, int) override
    {
        voiceCount_ = 0;
        resetChannels();
    }

    void releaseResources() override {}

    using AudioProcessor::processBlock;

    // Renders up to each event's position, then applies it, so that every
    // event takes effect at exactly its frame.
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override
    {
        const float scale = level_->load() * (invert_->load() >= 0.5f ? -1.0f : 1.0f);
        const int frames = buffer.getNumSamples();
        int done = 0;
        for (const auto metadata : midi) {
            const int at = juce::jlimit(done, frames, metadata.samplePosition);
            render(buffer, done, at, scale);
            done = at;
            apply(metadata.getMessage());
        }
        render(buffer, done, frames, scale);
    }

    bool hasEditor() const override { return true; }
    juce::AudioProcessorEditor* createEditor() override { return new juce::GenericAudioProcessorEditor(*this); }

    void getStateInformation(juce::MemoryBlock& destination) override
    {
        if (auto xml = state_.copyState().createXml()) copyXmlToBinary(*xml, destination);
    }

    void setStateInformation(const void* data, int size) override
    {
        if (auto xml = getXmlFromBinary(data, size))
            if (xml->hasTagName(state_.state.getType())) state_.replaceState(juce::ValueTree::fromXml(*xml));
    }

private:
    struct Voice {
        int channel = 0;
        int note = 0;
        float velocity = 0.0f;
    };

    void resetChannels()
    {
        volume_.fill(1.0f);
        wheel_.fill(1.0f);
    }

    void render(juce::AudioBuffer<float>& buffer, int from, int to, float scale) const
    {
        if (to <= from) return;
        float left = 0.0f;
        float right = 0.0f;
        for (int v = 0; v < voiceCount_; ++v) {
            const Voice& voice = voices_[static_cast<size_t>(v)];
            const float sample = voice.velocity * volume_[static_cast<size_t>(voice.channel)] * scale;
            left += sample;
            right += sample * wheel_[static_cast<size_t>(voice.channel)];
        }
        const int channels = buffer.getNumChannels();
        for (int ch = 0; ch < channels; ++ch) {
            float* samples = buffer.getWritePointer(ch);
            const float value = ch == 1 ? right : (ch == 0 ? left : 0.0f);
            for (int i = from; i < to; ++i) samples[i] = value;
        }
    }

    void apply(const juce::MidiMessage& message)
    {
        const int channel = message.getChannel() - 1;
        if (channel < 0 || channel >= kChannels) return;
        if (message.isNoteOn()) {
            stop(channel, message.getNoteNumber());
            if (voiceCount_ < kMaxVoices)
                voices_[static_cast<size_t>(voiceCount_++)] =
                    Voice{channel, message.getNoteNumber(), message.getVelocity() / 127.0f};
        } else if (message.isNoteOff()) {
            stop(channel, message.getNoteNumber());
        } else if (message.isAllNotesOff() || message.isAllSoundOff()) {
            stop(channel, -1);
        } else if (message.isController() && message.getControllerNumber() == 7) {
            volume_[static_cast<size_t>(channel)] = message.getControllerValue() / 127.0f;
        } else if (message.isPitchWheel()) {
            wheel_[static_cast<size_t>(channel)] = message.getPitchWheelValue() / 8192.0f;
        }
    }

    // Ends the channel's voices of the note (every note: -1).
    void stop(int channel, int note)
    {
        int kept = 0;
        for (int v = 0; v < voiceCount_; ++v) {
            const Voice& voice = voices_[static_cast<size_t>(v)];
            if (voice.channel != channel || (note >= 0 && voice.note != note))
                voices_[static_cast<size_t>(kept++)] = voice;
        }
        voiceCount_ = kept;
    }

    juce::AudioProcessorValueTreeState state_;
    std::atomic<float>* level_ = nullptr;
    std::atomic<float>* invert_ = nullptr;
    std::array<Voice, kMaxVoices> voices_{};
    int voiceCount_ = 0;
    std::array<float, kChannels> volume_{};
    std::array<float, kChannels> wheel_{};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(SynthProcessor)
};

}  // namespace

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new SynthProcessor(); }
