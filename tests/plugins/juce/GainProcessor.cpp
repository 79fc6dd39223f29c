// A stereo gain built with JUCE: a gain in dB, a mute, a choice, a latency
// chosen by a parameter (a delay line of exactly that many frames, reported
// through setLatencySamples so the host is asked for a latency restart), a
// read-only output meter, full state and JUCE's generic editor.
#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

namespace {

constexpr int kLatencyChoices[] = {0, 64, 333};
constexpr int kMaxLatency = 333;

juce::AudioProcessorValueTreeState::ParameterLayout makeLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add(std::make_unique<juce::AudioParameterFloat>(
        juce::ParameterID{"gain", 1}, "Gain", juce::NormalisableRange<float>(-60.0f, 12.0f), 0.0f,
        juce::AudioParameterFloatAttributes().withLabel("dB")));
    layout.add(std::make_unique<juce::AudioParameterBool>(juce::ParameterID{"mute", 1}, "Mute", false));
    layout.add(std::make_unique<juce::AudioParameterChoice>(
        juce::ParameterID{"character", 1}, "Character", juce::StringArray{"Clean", "Warm", "Bright"}, 0));
    layout.add(std::make_unique<juce::AudioParameterChoice>(
        juce::ParameterID{"latency", 1}, "Latency", juce::StringArray{"0", "64", "333"}, 0));
    // Category "output meter" is what JUCE reports to VST 3 hosts as read-only.
    layout.add(std::make_unique<juce::AudioParameterFloat>(
        juce::ParameterID{"meter", 1}, "Output Level", juce::NormalisableRange<float>(0.0f, 1.0f), 0.0f,
        juce::AudioParameterFloatAttributes()
            .withCategory(juce::AudioProcessorParameter::outputMeter)
            .withAutomatable(false)));
    return layout;
}

class GainProcessor final : public juce::AudioProcessor {
public:
    GainProcessor()
        : AudioProcessor(BusesProperties()
                             .withInput("Input", juce::AudioChannelSet::stereo(), true)
                             .withOutput("Output", juce::AudioChannelSet::stereo(), true)),
          state_(*this, nullptr, "TalvenJuceGain", makeLayout())
    {
        gain_ = state_.getRawParameterValue("gain");
        mute_ = state_.getRawParameterValue("mute");
        latency_ = state_.getRawParameterValue("latency");
        meter_ = state_.getParameter("meter");
    }

    const juce::String getName() const override { return "TalvenJuceGain"; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    double getTailLengthSeconds() const override { return 0.0; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int) override {}
    const juce::String getProgramName(int) override { return "Default"; }
    void changeProgramName(int, const juce::String&) override {}

    bool isBusesLayoutSupported(const BusesLayout& layouts) const override
    {
        return layouts.getMainInputChannelSet() == juce::AudioChannelSet::stereo()
               && layouts.getMainOutputChannelSet() == juce::AudioChannelSet::stereo();
    }

    void prepareToPlay(double, int) override
    {
        delay_.setSize(2, kMaxLatency + 1);
        delay_.clear();
        writeIndex_ = 0;
        applyLatencyChoice();
    }

    void releaseResources() override {}

    using AudioProcessor::processBlock;

    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) override
    {
        applyLatencyChoice();
        const float gain = mute_->load() >= 0.5f ? 0.0f : juce::Decibels::decibelsToGain(gain_->load(), -1000.0f);
        const int frames = buffer.getNumSamples();
        const int channels = juce::jmin(buffer.getNumChannels(), 2);
        float peak = 0.0f;
        for (int ch = 0; ch < channels; ++ch) {
            float* samples = buffer.getWritePointer(ch);
            float* line = delay_.getWritePointer(ch);
            int index = writeIndex_;
            for (int i = 0; i < frames; ++i) {
                const float in = samples[i] * gain;
                float out = in;
                if (currentLatency_ > 0) {
                    line[index] = in;
                    int readIndex = index - currentLatency_;
                    if (readIndex < 0) readIndex += kMaxLatency + 1;
                    out = line[readIndex];
                    index = index == kMaxLatency ? 0 : index + 1;
                }
                samples[i] = out;
                peak = juce::jmax(peak, std::abs(out));
            }
        }
        if (currentLatency_ > 0) writeIndex_ = (writeIndex_ + frames) % (kMaxLatency + 1);
        meter_->setValueNotifyingHost(juce::jmin(peak, 1.0f));
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
    // Called on the audio thread: the delay line is allocated in prepareToPlay,
    // so switching the latency allocates nothing; JUCE posts the host's
    // restart request to its message thread.
    void applyLatencyChoice()
    {
        const int choice = juce::jlimit(0, 2, static_cast<int>(latency_->load() + 0.5f));
        const int wanted = kLatencyChoices[choice];
        if (wanted == currentLatency_) return;
        currentLatency_ = wanted;
        delay_.clear();
        writeIndex_ = 0;
        setLatencySamples(wanted);
    }

    juce::AudioProcessorValueTreeState state_;
    std::atomic<float>* gain_ = nullptr;
    std::atomic<float>* mute_ = nullptr;
    std::atomic<float>* latency_ = nullptr;
    juce::RangedAudioParameter* meter_ = nullptr;
    juce::AudioBuffer<float> delay_;
    int writeIndex_ = 0;
    int currentLatency_ = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(GainProcessor)
};

}  // namespace

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new GainProcessor(); }
