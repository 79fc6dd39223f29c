#include "channel.h"

#include "api.h"

namespace talvenbass {
namespace {

// Clears the render turn however the block ends.
class RenderScope {
public:
    explicit RenderScope(Channel &ch) : ch_(ch) {}
    RenderScope(const RenderScope &) = delete;
    RenderScope &operator=(const RenderScope &) = delete;
    ~RenderScope() {
        {
            std::lock_guard<std::mutex> lock(ch_.mutex);
            ch_.rendering = false;
            ch_.runningDsp = nullptr;
            ch_.renderThread = std::thread::id();
        }
        ch_.changed.notify_all();
    }

private:
    Channel &ch_;
};

// Runs the chain over `frames` frames at `native`. DSPs get the channel's
// format, or float when `dspFloat`; an integer block then goes to float and
// back, clipped, as BASS_CONFIG_FLOATDSP does.
void runChain(Channel &ch, const std::vector<std::shared_ptr<Dsp>> &chain, void *native, DWORD frames,
              bool dspFloat) {
    if (chain.empty())
        return;
    const std::size_t samples = static_cast<std::size_t>(frames) * ch.info.chans;
    const bool convert = dspFloat && ch.format != SampleFormat::Float32;
    void *buffer = native;
    DWORD length = frames * ch.frameBytes;
    if (convert) {
        ch.floatBlock.resize(samples);
        toFloat(ch.format, native, ch.floatBlock.data(), samples);
        buffer = ch.floatBlock.data();
        length = static_cast<DWORD>(samples * sizeof(float));
    }
    for (const auto &dsp : chain) {
        {
            std::lock_guard<std::mutex> lock(ch.mutex);
            if (ch.freed || dsp->removed)
                continue;
            ch.runningDsp = dsp.get();
        }
        dsp->proc(dsp->handle, ch.handle, buffer, length, dsp->user);
        {
            std::lock_guard<std::mutex> lock(ch.mutex);
            ch.runningDsp = nullptr;
        }
        ch.changed.notify_all();
    }
    if (convert)
        fromFloat(ch.format, ch.floatBlock.data(), native, samples);
}

} // namespace

std::atomic<bool> &floatDspOption() {
    static std::atomic<bool> option{false};
    return option;
}

DWORD render(Channel &ch, void *out, DWORD frames, bool floatOut, int &error) {
    std::vector<std::shared_ptr<Dsp>> chain;
    unsigned movesAtStart = 0;
    {
        std::unique_lock<std::mutex> lock(ch.mutex);
        if (ch.renderingHere()) {
            error = BASS_ERROR_ALREADY;
            return kFailDword;
        }
        ch.changed.wait(lock, [&] { return !ch.rendering || ch.freed; });
        if (ch.freed) {
            error = BASS_ERROR_HANDLE;
            return kFailDword;
        }
        if (ch.ended) {
            error = BASS_ERROR_ENDED;
            return kFailDword;
        }
        ch.rendering = true;
        ch.renderThread = std::this_thread::get_id();
        chain = ch.dsps;
        movesAtStart = ch.moves;
    }
    RenderScope scope(ch);
    const bool channelFloat = ch.format == SampleFormat::Float32;
    const bool dspFloat = channelFloat || floatDspOption().load();

    // The block in the channel's own format: straight into the caller's
    // buffer unless the caller wants float from an integer channel.
    void *native = out;
    if (floatOut && !channelFloat) {
        ch.nativeBlock.resize(static_cast<std::size_t>(frames) * ch.frameBytes);
        native = ch.nativeBlock.data();
    }
    bool ended = false;
    const DWORD got = ch.source->read(ch.handle, native, frames, ended);
    if (got > 0) {
        {
            // The block counts as decoded before its DSPs run: they see the
            // position just after it.
            std::lock_guard<std::mutex> lock(ch.mutex);
            ch.position += got;
        }
        runChain(ch, chain, native, got, dspFloat);
        if (floatOut && !channelFloat)
            toFloat(ch.format, native, static_cast<float *>(out), static_cast<std::size_t>(got) * ch.info.chans);
    }

    std::lock_guard<std::mutex> lock(ch.mutex);
    // A DSP that moved the channel has started it afresh.
    if (ended && ch.moves == movesAtStart)
        ch.ended = true;
    if (got == 0 && ended) {
        error = BASS_ERROR_ENDED;
        return kFailDword;
    }
    return got;
}

int moveChannel(Channel &ch, QWORD frame) {
    std::unique_lock<std::mutex> lock(ch.mutex);
    // From inside the channel's own DSP the turn is already ours.
    if (!ch.renderingHere())
        ch.changed.wait(lock, [&] { return !ch.rendering || ch.freed; });
    if (ch.freed)
        return BASS_ERROR_HANDLE;
    if (ch.source->seekable()) {
        if (frame > ch.source->lengthFrames())
            return BASS_ERROR_POSITION;
        if (!ch.source->seek(frame))
            return BASS_ERROR_UNKNOWN;
    }
    ch.position = frame;
    ch.ended = false;
    ++ch.moves;
    return BASS_OK;
}

void freeChannel(Channel &ch) {
    std::vector<Sync> syncs;
    std::vector<std::shared_ptr<Dsp>> dsps;
    {
        std::unique_lock<std::mutex> lock(ch.mutex);
        ch.freed = true;
        ch.playing = false;
        // A block in progress elsewhere finishes first; from inside the
        // channel's own callback the render notices `freed` instead.
        if (!ch.renderingHere())
            ch.changed.wait(lock, [&] { return !ch.rendering; });
        syncs.swap(ch.syncs);
        dsps.swap(ch.dsps);
        for (const auto &dsp : dsps)
            dsp->removed = true;
    }
    ch.changed.notify_all();
    for (const Sync &sync : syncs)
        if ((sync.type & 0xffff) == BASS_SYNC_FREE)
            sync.proc(sync.handle, ch.handle, 0, sync.user);
}

} // namespace talvenbass
