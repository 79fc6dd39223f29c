#pragma once

#include "sdk/HostProcessData.h"
#include "sdk/ParameterChanges.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Steinberg::Vst {
class ParameterChangeTransfer;
}

namespace talven {

class MidiInput;
class OutputParameters;
class SidechainFeed;

// Where a block stands, for the process context the plug-in is given.
struct BlockTiming {
    double sampleRate = 0;
    // The block's first frame in the channel's decoded stream; negative when
    // unknown (the context then says the project time is not valid).
    std::int64_t firstFrame = -1;
    double tempo = 120;
    std::int32_t numerator = 4;
    std::int32_t denominator = 4;
    // The plug-in's activation count: the continuous time starts again at 0
    // with each new activation.
    std::uint32_t activation = 0;
};

// Moves the blocks of one BASS channel through one plug-in's audio
// processor. Everything the processor needs is settled by prepare(), off the
// audio thread: its interface, the sample size, its own bus layout, and a
// buffer for every bus channel, sized for the longest piece a block is cut
// into. A block then runs top to bottom without asking the plug-in anything
// but process and without allocating.
//
// The plug-in hears the channel's first channels on input bus 0, as many as
// that bus has; its output bus 0 is read back into the same channels. Output
// bus 0 starts as the dry input, so an output channel the plug-in leaves
// alone passes through, and channels beyond the plug-in's pass dry. Every
// other bus channel carries silence, but for a side-chain bus, which carries
// the side-chain channel's frames.
class BlockProcessor {
public:
    // The most frames one process call gets, as the plug-in was told at set-up;
    // longer blocks are processed in pieces.
    static constexpr Steinberg::int32 kMaxFrames = 4096;
    // Parameter queues made in advance per direction, 5 points each: edits of
    // up to this many parameters between two blocks allocate nothing.
    static constexpr Steinberg::int32 kParameterQueues = 1024;

    // owner: the instance whose blocks these are (marks the audio thread as
    // inside one of its blocks while the plug-in processes). transfer: the
    // edits queued for the processor (shared with the component handler).
    // outputs: where the processor's reported values go (must outlive this).
    // Makes the parameter queues.
    BlockProcessor(const void* owner, std::shared_ptr<Steinberg::Vst::ParameterChangeTransfer> transfer,
                   OutputParameters& outputs);
    ~BlockProcessor();
    BlockProcessor(const BlockProcessor&) = delete;
    BlockProcessor& operator=(const BlockProcessor&) = delete;

    // Settles everything for blocks of `channels` interleaved channels, in the
    // sample size the processor takes (kSample64 only for one that refuses
    // 32-bit). False when the component has no audio processor: blocks then
    // stay as they are. Caller's thread, with no block in progress (before the
    // DSP is set, or under the instance lock). May throw std::bad_alloc.
    // sidechainBus: an input bus whose channels take frames from sidechain
    // (not owned; outlives the preparation) instead of silence; -1 for none.
    // midi: the plug-in's event input, whose due events each piece delivers
    // (not owned; outlives the preparation); null for none.
    bool prepare(Steinberg::Vst::IComponent& component, Steinberg::int32 channels,
                 Steinberg::int32 sidechainBus = -1, SidechainFeed* sidechain = nullptr, MidiInput* midi = nullptr);
    // Lets the processor and every buffer go. Same threads as prepare.
    void release();
    bool prepared() const { return processor_ != nullptr; }
    Steinberg::int32 sampleSize() const { return sampleSize_; }

    // Runs `frames` whole frames of the prepared channel count, interleaved in
    // block, through the processor in place, in pieces of at most kMaxFrames (cut also where an event is due),
    // with the edits queued since the last block and a process context made
    // from timing (each piece's own position). The last value of each output
    // parameter change goes to the outputs. False when the processor refused
    // a piece: that piece and the rest of the block stay as they came (the
    // edits not yet delivered wait for the next block). Audio thread,
    // instance lock held; never allocates (unless more than kParameterQueues
    // parameters were edited since the last block).
    bool process(float* block, Steinberg::int32 frames, const BlockTiming& timing);

    // Hands the queued edits to the processor now, in a process call of no
    // samples (VST 3's parameter flush). False when it refused them; they then
    // wait for the next block. Any thread, instance lock held.
    bool flushEdits();

private:
    void fillContext(const BlockTiming& timing, Steinberg::int32 pieceStart);
    void keepOutputValues();

    // Input bus 0 takes piece [first, first + count) of the block; output bus
    // 0 starts from it too; the other bus channels get silence.
    void loadPiece(const float* block, Steinberg::int32 first, Steinberg::int32 count);
    // Output bus 0 back into the block, for the channels both have.
    void storePiece(float* block, Steinberg::int32 first, Steinberg::int32 count) const;
    void pointBuses(Steinberg::Vst::BusDirection direction);

    const void* owner_;
    std::shared_ptr<Steinberg::Vst::ParameterChangeTransfer> transfer_;
    Steinberg::Vst::ParameterChanges inputChanges_;
    Steinberg::Vst::ParameterChanges outputChanges_;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
    Steinberg::Vst::HostProcessData data_;
    Steinberg::Vst::ProcessContext context_{};
    OutputParameters& outputs_;
    // Frames processed since the activation counted in activation_.
    Steinberg::int64 continuousFrames_ = 0;
    std::uint32_t activation_ = 0;
    Steinberg::int32 sampleSize_ = Steinberg::Vst::kSample32;
    Steinberg::int32 channels_ = 0;
    // Channels of input and output bus 0 that carry the block's channels.
    Steinberg::int32 inputChannels_ = 0;
    Steinberg::int32 outputChannels_ = 0;
    // One kMaxFrames buffer per bus channel, in doubles so that either sample
    // size fits (a 32-bit channel uses the first half of its buffer).
    std::vector<std::vector<double>> storage_;
    // The buffers of bus 0's first channels, which carry the block, and every
    // other buffer, which carries silence (zeroed for every piece; what the
    // plug-in writes to other outputs is ignored).
    std::vector<void*> blockInputs_;
    std::vector<void*> blockOutputs_;
    std::vector<void*> silentBuffers_;
    // The side-chain bus's buffers, filled by sidechain_ for every piece.
    std::vector<void*> sidechainBuffers_;
    SidechainFeed* sidechain_ = nullptr;
    Steinberg::int32 sidechainBus_ = -1;
    MidiInput* midi_ = nullptr;
    // The stream frame the next block starts at, for events, when the
    // channel cannot tell: the frames processed so far.
    std::uint64_t nextFrame_ = 0;
};

} // namespace talven
