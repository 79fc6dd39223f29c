#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Steinberg::Vst {
struct ProcessContext;
class IEventList;
}

namespace talven::support {

// A plug-in's audio processor driven directly, as a host without the library
// would: the first audio class of a package (an effect or an instrument), set up for blocks of at most
// kMaxFrames at the given rate in the sample size it takes (64-bit only when
// it refuses 32-bit), active and processing, with one buffer for every
// channel of its own bus layout, made once.
//
// It takes a block as the library promises to hand one over: the block's
// first channels on input bus 0 and, as the starting point, on output bus 0
// (a channel the plug-in leaves alone passes through); silence on every other
// bus channel; output bus 0 back into the same channels; pieces of at most
// kMaxFrames. Tests hold the library's output against process(block); the
// benchmarks time process(frames) alone, loading and storing outside.
// One thread at a time.
class DirectProcessor {
public:
    static constexpr int kMaxFrames = 4096;

    DirectProcessor(const std::string& path, double sampleRate);
    ~DirectProcessor();
    DirectProcessor(const DirectProcessor&) = delete;
    DirectProcessor& operator=(const DirectProcessor&) = delete;

    bool ready() const;
    // True when the processor takes 64-bit samples.
    bool wide() const;

    // Queues one parameter change for the next process call that succeeds.
    void setParameter(std::uint32_t id, double value);
    // Every later process call is given a copy of this context, as it
    // stands, until the next call here; without one, none.
    void setContext(const Steinberg::Vst::ProcessContext& context);
    // Every later process call is given these events (not owned; null for
    // none). A plug-in with an event input has its first event bus active.
    void setEvents(Steinberg::Vst::IEventList* events);
    // What the processor answers to getLatencySamples now.
    std::int32_t latency() const;

    // The whole interleaved block through the processor, piece by piece: the
    // processed block. When the processor refuses a piece, that piece and
    // the rest stay as they came (the dry block if it refuses the first, and
    // then the queued changes wait for the next call). Allocates the result.
    std::vector<float> process(const std::vector<float>& block, int channels);
    // The same with aux (auxChannels interleaved, as many frames) on the
    // plug-in's first auxiliary input bus, activated for it: its channels in
    // order, a mono aux on every bus channel, the mean of a wider one on a
    // mono bus. False from hasAuxInput when the plug-in has none.
    std::vector<float> process(const std::vector<float>& block, int channels, const std::vector<float>& aux,
                               int auxChannels);
    bool hasAuxInput() const;

    // The steps of one piece, none of which allocates.
    // Frames [first, first + count) of the block (count at most kMaxFrames)
    // into the buses as described above.
    void load(const float* block, int channels, int first, int count);
    // One process call of count frames on the buffers as they stand, with the
    // queued changes; false when the processor refused it.
    bool process(int count);
    // Output bus 0 back into frames [first, first + count) of the block.
    void store(float* block, int channels, int first, int count) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace talven::support
