// One channel: its source and sample format, DSP chain, syncs, decoding
// position and render state, and the operations that take turns on it.
// Locking: the channel's mutex guards the fields below it and is never held
// while user code runs; only one thread at a time holds the render turn
// (`rendering`), and with it the source and the block buffers.
#pragma once

#include "bass.h"
#include "samples.h"
#include "sources.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvenbass {

struct Dsp {
    HDSP handle;
    DSPPROC *proc;
    void *user;
    int priority;
    bool removed = false; // guarded by the channel's mutex
};

struct Sync {
    HSYNC handle;
    DWORD type;
    SYNCPROC *proc;
    void *user;
};

struct Channel {
    Channel(DWORD h, std::unique_ptr<Source> src, SampleFormat sampleFormat, DWORD chans)
        : handle(h), source(std::move(src)), format(sampleFormat), frameBytes(chans * bytesPerSample(sampleFormat)) {}

    const DWORD handle;
    const std::unique_ptr<Source> source; // belongs to the render turn
    const SampleFormat format;
    const DWORD frameBytes; // of the channel's own format
    BASS_CHANNELINFO info{}; // fixed at creation
    std::string path;        // info.filename points here, or
    std::wstring widePath;   // here with BASS_UNICODE

    bool decode() const { return (info.flags & BASS_STREAM_DECODE) != 0; }
    // BASS ignores BASS_STREAM_AUTOFREE on a decoding channel: it never
    // plays, so its playback never ends.
    bool autoFree() const { return (info.flags & BASS_STREAM_AUTOFREE) != 0 && !decode(); }

    std::atomic<bool> playing{false};

    std::mutex mutex;
    std::condition_variable changed;
    bool freed = false;
    bool ended = false;
    bool rendering = false;
    std::thread::id renderThread;
    const Dsp *runningDsp = nullptr;
    std::vector<std::shared_ptr<Dsp>> dsps; // call order
    std::vector<Sync> syncs;
    QWORD position = 0;     // decoding position, in frames
    unsigned moves = 0;     // counts seeks and restarts

    // Block buffers of the render turn, grown as needed.
    std::vector<unsigned char> nativeBlock; // the channel's format, when the caller wants float
    std::vector<float> floatBlock;          // float for the DSPs of an integer channel

    bool renderingHere() const { return rendering && renderThread == std::this_thread::get_id(); }
};

using ChannelPtr = std::shared_ptr<Channel>;

// BASS_CONFIG_FLOATDSP, read at the start of every block (any thread).
std::atomic<bool> &floatDspOption();

// Pulls up to `frames` frames from the source and runs the DSP chain over
// them, on the calling thread; `out` receives them in the channel's format,
// or as float when `floatOut`. Returns the frames delivered, or kFailDword
// with `error` set. Waits for a block in progress on another thread.
DWORD render(Channel &ch, void *out, DWORD frames, bool floatOut, int &error);

// Moves the channel to `frame` (0 for a restart) once no block of it is in
// progress on another thread, and lets an ended channel go on. A source
// that cannot seek keeps its place; only the position restarts. Returns
// BASS_OK or the error code.
int moveChannel(Channel &ch, QWORD frame);

// Frees a channel already taken out of the engine's table: runs its free
// syncs on this thread, after any block in progress elsewhere.
void freeChannel(Channel &ch);

} // namespace talvenbass
