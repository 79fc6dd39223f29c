#include "instance/BlockProcessor.h"

#include "events/MidiInput.h"
#include "instance/OutputParameters.h"
#include "instance/SidechainFeed.h"
#include "platform/BlockScope.h"
#include "sdk/ParameterChangeTransfer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

// kSample64 only for a processor that takes 64-bit and refuses 32-bit.
int32 chooseSampleSize(IAudioProcessor& processor)
{
    const bool takes64 = processor.canProcessSampleSize(kSample64) == kResultOk;
    const bool takes32 = processor.canProcessSampleSize(kSample32) == kResultOk;
    return takes64 && !takes32 ? kSample64 : kSample32;
}

// Channel `channel` of `channels` interleaved, frames [first, first + count),
// into a planar buffer of Sample.
template <typename Sample>
void deinterleave(const float* block, int32 channels, int32 channel, int32 first, int32 count, void* target)
{
    const float* source = block + static_cast<std::size_t>(first) * static_cast<std::size_t>(channels) +
                          static_cast<std::size_t>(channel);
    auto* out = static_cast<Sample*>(target);
    for (int32 j = 0; j < count; ++j, source += channels)
        out[j] = static_cast<Sample>(*source);
}

template <typename Sample>
void interleave(const void* source, float* block, int32 channels, int32 channel, int32 first, int32 count)
{
    float* target = block + static_cast<std::size_t>(first) * static_cast<std::size_t>(channels) +
                    static_cast<std::size_t>(channel);
    const auto* in = static_cast<const Sample*>(source);
    for (int32 j = 0; j < count; ++j, target += channels)
        *target = static_cast<float>(in[j]);
}

} // namespace

BlockProcessor::BlockProcessor(const void* owner, std::shared_ptr<ParameterChangeTransfer> transfer,
                               OutputParameters& outputs)
    : owner_(owner), transfer_(std::move(transfer)), inputChanges_(kParameterQueues),
      outputChanges_(kParameterQueues), outputs_(outputs)
{
}

BlockProcessor::~BlockProcessor() = default;

bool BlockProcessor::prepare(IComponent& component, int32 channels, int32 sidechainBus, SidechainFeed* sidechain,
                             MidiInput* midi)
{
    release();
    sidechainBus_ = sidechain ? sidechainBus : -1;
    FUnknownPtr<IAudioProcessor> processor(&component);
    if (!processor || channels <= 0)
        return false;
    sampleSize_ = chooseSampleSize(*processor);
    channels_ = channels;
    // Bus records and channel pointer arrays for the plug-in's own layout;
    // the pointers are aimed at this processor's buffers below.
    if (!data_.prepare(component, 0, sampleSize_))
        return false;
    pointBuses(kInput);
    pointBuses(kOutput);
    inputChannels_ = static_cast<int32>(blockInputs_.size());
    outputChannels_ = static_cast<int32>(blockOutputs_.size());
    data_.processMode = kRealtime;
    data_.numSamples = 0;
    data_.inputParameterChanges = &inputChanges_;
    data_.outputParameterChanges = &outputChanges_;
    data_.inputEvents = midi ? midi->events() : nullptr;
    data_.outputEvents = nullptr;
    midi_ = midi;
    nextFrame_ = 0;
    context_ = ProcessContext{};
    data_.processContext = &context_;
    continuousFrames_ = 0;
    if (sidechainBus_ >= 0 && !sidechainBuffers_.empty()) {
        sidechain_ = sidechain;
        sidechain_->start();
    }
    processor_ = processor.getInterface();
    return true;
}

void BlockProcessor::pointBuses(BusDirection direction)
{
    const bool input = direction == kInput;
    AudioBusBuffers* buses = input ? data_.inputs : data_.outputs;
    const int32 busCount = input ? data_.numInputs : data_.numOutputs;
    std::vector<void*>& blockBuffers = input ? blockInputs_ : blockOutputs_;
    for (int32 b = 0; b < busCount; ++b) {
        AudioBusBuffers& bus = buses[b];
        for (int32 c = 0; c < bus.numChannels; ++c) {
            storage_.emplace_back(static_cast<std::size_t>(kMaxFrames), 0.0);
            void* buffer = storage_.back().data();
            if (sampleSize_ == kSample64)
                bus.channelBuffers64[c] = static_cast<Sample64*>(buffer);
            else
                bus.channelBuffers32[c] = static_cast<Sample32*>(buffer);
            if (b == 0 && c < channels_)
                blockBuffers.push_back(buffer);
            else if (input && b == sidechainBus_)
                sidechainBuffers_.push_back(buffer);
            else
                silentBuffers_.push_back(buffer);
        }
    }
}

void BlockProcessor::release()
{
    processor_ = nullptr;
    data_.unprepare();
    storage_.clear();
    blockInputs_.clear();
    blockOutputs_.clear();
    silentBuffers_.clear();
    sidechainBuffers_.clear();
    sidechain_ = nullptr;
    sidechainBus_ = -1;
    midi_ = nullptr;
    inputChannels_ = 0;
    outputChannels_ = 0;
    channels_ = 0;
}

void BlockProcessor::loadPiece(const float* block, int32 first, int32 count)
{
    const bool wide = sampleSize_ == kSample64;
    const std::size_t bytes = static_cast<std::size_t>(count) * (wide ? sizeof(Sample64) : sizeof(Sample32));
    if (!wide && channels_ == 2 && inputChannels_ == 2) {
        // The common case in one pass over the block.
        const float* source = block + static_cast<std::size_t>(first) * 2;
        auto* left = static_cast<Sample32*>(blockInputs_[0]);
        auto* right = static_cast<Sample32*>(blockInputs_[1]);
        for (int32 j = 0; j < count; ++j) {
            left[j] = source[2 * j];
            right[j] = source[2 * j + 1];
        }
    } else {
        for (int32 c = 0; c < inputChannels_; ++c) {
            if (wide)
                deinterleave<Sample64>(block, channels_, c, first, count, blockInputs_[static_cast<std::size_t>(c)]);
            else
                deinterleave<Sample32>(block, channels_, c, first, count, blockInputs_[static_cast<std::size_t>(c)]);
        }
    }
    // The outputs start dry: a channel the plug-in does not write passes.
    // Where the input bus has the same channel, it is a plain copy.
    for (int32 c = 0; c < outputChannels_; ++c) {
        void* output = blockOutputs_[static_cast<std::size_t>(c)];
        if (c < inputChannels_)
            std::memcpy(output, blockInputs_[static_cast<std::size_t>(c)], bytes);
        else if (wide)
            deinterleave<Sample64>(block, channels_, c, first, count, output);
        else
            deinterleave<Sample32>(block, channels_, c, first, count, output);
    }
    for (void* buffer : silentBuffers_)
        std::memset(buffer, 0, bytes);
    if (sidechain_)
        sidechain_->fill(sidechainBuffers_.data(), static_cast<int32>(sidechainBuffers_.size()), count, wide);
}

void BlockProcessor::storePiece(float* block, int32 first, int32 count) const
{
    if (sampleSize_ != kSample64 && channels_ == 2 && outputChannels_ == 2) {
        float* target = block + static_cast<std::size_t>(first) * 2;
        const auto* left = static_cast<const Sample32*>(blockOutputs_[0]);
        const auto* right = static_cast<const Sample32*>(blockOutputs_[1]);
        for (int32 j = 0; j < count; ++j) {
            target[2 * j] = left[j];
            target[2 * j + 1] = right[j];
        }
        return;
    }
    for (int32 c = 0; c < outputChannels_; ++c) {
        if (sampleSize_ == kSample64)
            interleave<Sample64>(blockOutputs_[static_cast<std::size_t>(c)], block, channels_, c, first, count);
        else
            interleave<Sample32>(blockOutputs_[static_cast<std::size_t>(c)], block, channels_, c, first, count);
    }
}

void BlockProcessor::fillContext(const BlockTiming& timing, int32 pieceStart)
{
    if (timing.activation != activation_) {
        activation_ = timing.activation;
        continuousFrames_ = 0;
    }
    ProcessContext& context = context_;
    context.state = ProcessContext::kPlaying | ProcessContext::kContTimeValid | ProcessContext::kTempoValid
                    | ProcessContext::kTimeSigValid;
    context.sampleRate = timing.sampleRate;
    context.continousTimeSamples = continuousFrames_;
    context.tempo = timing.tempo;
    context.timeSigNumerator = timing.numerator;
    context.timeSigDenominator = timing.denominator;
    if (timing.firstFrame < 0 || timing.sampleRate <= 0) {
        context.projectTimeSamples = 0;
        context.projectTimeMusic = 0;
        context.barPositionMusic = 0;
        return;
    }
    context.state |= ProcessContext::kProjectTimeMusicValid | ProcessContext::kBarPositionValid;
    context.projectTimeSamples = timing.firstFrame + pieceStart;
    // Musical time counts quarter notes; a bar holds numerator beats of a
    // 1/denominator note each.
    const double seconds = static_cast<double>(context.projectTimeSamples) / timing.sampleRate;
    context.projectTimeMusic = seconds * timing.tempo / 60.0;
    const double quartersPerBar = timing.numerator * 4.0 / timing.denominator;
    context.barPositionMusic = std::floor(context.projectTimeMusic / quartersPerBar) * quartersPerBar;
}

void BlockProcessor::keepOutputValues()
{
    const int32 queues = outputChanges_.getParameterCount();
    for (int32 i = 0; i < queues; ++i) {
        IParamValueQueue* queue = outputChanges_.getParameterData(i);
        const int32 points = queue ? queue->getPointCount() : 0;
        int32 offset = 0;
        ParamValue value = 0;
        if (points > 0 && queue->getPoint(points - 1, offset, value) == kResultOk)
            outputs_.store(queue->getParameterId(), value);
    }
    outputChanges_.clearQueue();
}

bool BlockProcessor::process(float* block, int32 frames, const BlockTiming& timing)
{
    if (!processor_)
        return false;
    transfer_->transferChangesTo(inputChanges_);
    const BlockScope scope(owner_);
    const std::uint64_t blockFrame =
        timing.firstFrame >= 0 ? static_cast<std::uint64_t>(timing.firstFrame) : nextFrame_;
    nextFrame_ = blockFrame + static_cast<std::uint64_t>(frames);
    for (int32 first = 0; first < frames;) {
        int32 count = std::min(kMaxFrames, frames - first);
        if (midi_)
            count = midi_->pieceLength(blockFrame + static_cast<std::uint64_t>(first), count);
        loadPiece(block, first, count);
        data_.numSamples = count;
        fillContext(timing, first);
        if (midi_)
            midi_->deliver(blockFrame + static_cast<std::uint64_t>(first), count, inputChanges_);
        const tresult result = processor_->process(data_);
        if (midi_) {
            // A controller or pitch bend moved its parameter in the processor;
            // the controller (and the program's parameter callback) hears
            // the value as it hears values the processor reports.
            midi_->forEachParameterChange([this](ParamID id, double value) { outputs_.store(id, value); });
            midi_->finishCall();
        }
        keepOutputValues();
        if (result != kResultOk) {
            // Edits not yet delivered stay for the next block, so that
            // processor and controller do not drift apart.
            if (first > 0)
                inputChanges_.clearQueue();
            return false;
        }
        inputChanges_.clearQueue();
        storePiece(block, first, count);
        continuousFrames_ += count;
        first += count;
    }
    return true;
}

bool BlockProcessor::flushEdits()
{
    if (!processor_)
        return false;
    transfer_->transferChangesTo(inputChanges_);
    // The buses keep their buffers: a plug-in that walks its channels
    // without looking at numSamples finds valid memory.
    data_.numSamples = 0;
    tresult result = kResultFalse;
    {
        const BlockScope scope(owner_);
        result = processor_->process(data_);
    }
    keepOutputValues();
    if (result != kResultOk)
        return false;
    inputChanges_.clearQueue();
    return true;
}

} // namespace talven
