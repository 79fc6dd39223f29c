// The engine: the channel table, the mixing thread, and the exported BASS
// functions. Locking: one engine mutex for the channel table and init
// state, one mutex per channel (channel.h). Neither is held while user code
// runs; the engine mutex is never taken while a channel mutex is held.
#include "bass.h"

#include "api.h"
#include "channel.h"
#include "samples.h"
#include "sources.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvenbass {
namespace {

// ---- channels -----------------------------------------------------------

std::atomic<std::uint32_t> nextHandle{0x10000};

DWORD newHandle() {
    std::uint32_t h = 0;
    while (h == 0)
        h = nextHandle.fetch_add(1);
    return h;
}

struct Engine {
    std::mutex mutex;
    std::condition_variable wake;
    bool initialized = false;
    bool stopMixer = false;
    std::thread mixer;
    std::thread::id mixerId;
    std::map<DWORD, ChannelPtr> channels;
};

// Never destroyed: joining a thread from a static destructor can deadlock
// (the loader lock on Windows), and callers may forget BASS_Free.
Engine &engine() {
    static Engine *instance = new Engine;
    return *instance;
}

ChannelPtr lookup(DWORD handle) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    const auto it = e.channels.find(handle);
    return it == e.channels.end() ? nullptr : it->second;
}

BOOL freeByHandle(DWORD handle) {
    ChannelPtr ch;
    {
        Engine &e = engine();
        std::lock_guard<std::mutex> lock(e.mutex);
        const auto it = e.channels.find(handle);
        if (it == e.channels.end())
            return fail(BASS_ERROR_HANDLE, FALSE);
        ch = std::move(it->second);
        e.channels.erase(it);
    }
    freeChannel(*ch);
    return succeed(TRUE);
}

// Adds a channel to the table, failing if BASS_Init has not been called.
HSTREAM addChannel(ChannelPtr ch) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (!e.initialized)
        return fail<HSTREAM>(BASS_ERROR_INIT, 0);
    const DWORD handle = ch->handle;
    e.channels.emplace(handle, std::move(ch));
    return succeed<HSTREAM>(handle);
}

bool initialized() {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return e.initialized;
}

// As many as a WAV file can hold; keeps frame sizes far from overflowing.
constexpr DWORD kMaxChannels = 65535;

// 8-bit and float at once is a contradiction, not a format.
int checkFormat(DWORD flags) {
    if ((flags & BASS_SAMPLE_FLOAT) && (flags & BASS_SAMPLE_8BITS))
        return BASS_ERROR_FORMAT;
    return BASS_OK;
}

// BASS_POS_BYTE, optionally with BASS_POS_DECODE: without output buffering
// the playing and decoding positions are one.
bool bytePositionMode(DWORD mode) {
    return (mode & ~static_cast<DWORD>(BASS_POS_DECODE)) == BASS_POS_BYTE;
}

// ---- mixing thread ------------------------------------------------------

constexpr auto kPeriod = std::chrono::milliseconds(10);

void mixLoop() {
    Engine &e = engine();
    std::vector<float> buffer; // wide enough for a period in any format
    auto deadline = std::chrono::steady_clock::now();
    for (;;) {
        std::vector<ChannelPtr> playing;
        {
            std::lock_guard<std::mutex> lock(e.mutex);
            if (e.stopMixer)
                return;
            for (const auto &entry : e.channels)
                if (entry.second->playing)
                    playing.push_back(entry.second);
        }
        for (const ChannelPtr &ch : playing) {
            const DWORD frames = std::max<DWORD>(1, ch->info.freq / 100);
            buffer.resize(static_cast<size_t>(frames) * ch->info.chans);
            int error = BASS_OK;
            if (render(*ch, buffer.data(), frames, false, error) == kFailDword && error == BASS_ERROR_ENDED) {
                ch->playing = false;
                // An auto-free stream goes when its playback ends; its free
                // syncs run here, on the mixing thread.
                if (ch->autoFree())
                    freeByHandle(ch->handle);
            }
        }
        playing.clear();

        // Roughly real time; after a long stall, start afresh rather than
        // rushing to catch up.
        deadline += kPeriod;
        const auto now = std::chrono::steady_clock::now();
        if (now - deadline > 20 * kPeriod)
            deadline = now;
        std::unique_lock<std::mutex> lock(e.mutex);
        e.wake.wait_until(lock, deadline, [&] { return e.stopMixer; });
    }
}

} // namespace
} // namespace talvenbass

using namespace talvenbass;

extern "C" {

BOOL BASSDEF(BASS_Init)(int device, DWORD, DWORD, void *, const void *) {
    return api("BASS_Init", FALSE, [&]() -> BOOL {
        if (device < -1 || device > 1)
            return fail(BASS_ERROR_DEVICE, FALSE);
        Engine &e = engine();
        std::lock_guard<std::mutex> lock(e.mutex);
        if (e.initialized)
            return fail(BASS_ERROR_ALREADY, FALSE);
        e.stopMixer = false;
        e.mixer = std::thread(mixLoop);
        e.mixerId = e.mixer.get_id();
        e.initialized = true;
        return succeed(TRUE);
    });
}

BOOL BASSDEF(BASS_Free)(void) {
    return api("BASS_Free", FALSE, []() -> BOOL {
        Engine &e = engine();
        std::thread mixer;
        std::map<DWORD, ChannelPtr> channels;
        {
            std::lock_guard<std::mutex> lock(e.mutex);
            if (!e.initialized)
                return fail(BASS_ERROR_INIT, FALSE);
            if (std::this_thread::get_id() == e.mixerId)
                return fail(BASS_ERROR_BUSY, FALSE); // cannot join itself
            e.initialized = false;
            e.stopMixer = true;
            e.mixerId = std::thread::id();
            mixer = std::move(e.mixer);
            channels.swap(e.channels);
        }
        e.wake.notify_all();
        mixer.join();
        for (auto &entry : channels)
            freeChannel(*entry.second);
        return succeed(TRUE);
    });
}

int BASSDEF(BASS_ErrorGetCode)(void) {
    return tlsError;
}

BOOL BASSDEF(BASS_SetConfig)(DWORD option, DWORD value) {
    return api("BASS_SetConfig", FALSE, [&]() -> BOOL {
        if (option != BASS_CONFIG_FLOATDSP)
            return fail(BASS_ERROR_ILLTYPE, FALSE);
        floatDspOption() = value != 0;
        return succeed(TRUE);
    });
}

DWORD BASSDEF(BASS_GetConfig)(DWORD option) {
    return api("BASS_GetConfig", kFailDword, [&]() -> DWORD {
        if (option != BASS_CONFIG_FLOATDSP)
            return fail(BASS_ERROR_ILLTYPE, kFailDword);
        return succeed<DWORD>(floatDspOption() ? TRUE : FALSE);
    });
}

HSTREAM BASSDEF(BASS_StreamCreate)(DWORD freq, DWORD chans, DWORD flags, STREAMPROC *proc, void *user) {
    return api("BASS_StreamCreate", HSTREAM(0), [&]() -> HSTREAM {
        if (!initialized())
            return fail<HSTREAM>(BASS_ERROR_INIT, 0);
        if (const int error = checkFormat(flags))
            return fail<HSTREAM>(error, 0);
        if (chans == 0 || chans > kMaxChannels)
            return fail<HSTREAM>(BASS_ERROR_FORMAT, 0);
        if (freq == 0)
            return fail<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
        if (proc == STREAMPROC_DUMMY || proc == STREAMPROC_PUSH || proc == STREAMPROC_DEVICE ||
            proc == STREAMPROC_DEVICE_3D)
            return fail<HSTREAM>(BASS_ERROR_NOTAVAIL, 0);
        const SampleFormat format = formatFromFlags(flags);
        auto ch = std::make_shared<Channel>(newHandle(), makeProcSource(proc, user, chans * bytesPerSample(format)),
                                            format, chans);
        ch->info.freq = freq;
        ch->info.chans = chans;
        ch->info.flags = flags & ~static_cast<DWORD>(BASS_UNICODE);
        ch->info.ctype = BASS_CTYPE_STREAM;
        return addChannel(std::move(ch));
    });
}

HSTREAM BASSDEF(BASS_StreamCreateFile)(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags) {
    return api("BASS_StreamCreateFile", HSTREAM(0), [&]() -> HSTREAM {
        if (!initialized())
            return fail<HSTREAM>(BASS_ERROR_INIT, 0);
        if (mem || offset != 0 || length != 0)
            return fail<HSTREAM>(BASS_ERROR_NOTAVAIL, 0);
        if (!file)
            return fail<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
        if (const int error = checkFormat(flags))
            return fail<HSTREAM>(error, 0);
        const bool unicode = (flags & BASS_UNICODE) != 0;
        const SampleFormat format = formatFromFlags(flags);
        OpenedFile opened = openFile(file, unicode, format);
        if (!opened.source)
            return fail<HSTREAM>(opened.error, 0);
        auto ch = std::make_shared<Channel>(newHandle(), std::move(opened.source), format, opened.chans);
        if (unicode) {
            ch->widePath = static_cast<const wchar_t *>(file);
            ch->info.filename = reinterpret_cast<const char *>(ch->widePath.c_str());
        } else {
            ch->path = static_cast<const char *>(file);
            ch->info.filename = ch->path.c_str();
        }
        ch->info.freq = opened.freq;
        ch->info.chans = opened.chans;
        ch->info.flags = flags;
        ch->info.ctype = opened.ctype;
        ch->info.origres = opened.origres;
        return addChannel(std::move(ch));
    });
}

BOOL BASSDEF(BASS_StreamFree)(HSTREAM handle) {
    return api("BASS_StreamFree", FALSE, [&] { return freeByHandle(handle); });
}

BOOL BASSDEF(BASS_ChannelFree)(DWORD handle) {
    return api("BASS_ChannelFree", FALSE, [&] { return freeByHandle(handle); });
}

BOOL BASSDEF(BASS_ChannelGetInfo)(DWORD handle, BASS_CHANNELINFO *info) {
    return api("BASS_ChannelGetInfo", FALSE, [&]() -> BOOL {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, FALSE);
        if (!info)
            return fail(BASS_ERROR_ILLPARAM, FALSE);
        *info = ch->info; // fixed at creation
        return succeed(TRUE);
    });
}

DWORD BASSDEF(BASS_ChannelGetData)(DWORD handle, void *buffer, DWORD length) {
    return api("BASS_ChannelGetData", kFailDword, [&]() -> DWORD {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, kFailDword);
        if (!ch->decode())
            return fail(BASS_ERROR_NOTAVAIL, kFailDword);
        if (length & (BASS_DATA_FFT256 | BASS_DATA_FIXED | BASS_DATA_NOREMOVE))
            return fail(BASS_ERROR_NOTAVAIL, kFailDword);
        // The length counts bytes of what the caller gets: float when asked,
        // else the channel's own format.
        const bool floatOut = (length & BASS_DATA_FLOAT) != 0;
        const DWORD frameBytes = floatOut ? ch->info.chans * static_cast<DWORD>(sizeof(float)) : ch->frameBytes;
        const DWORD frames = (length & ~static_cast<DWORD>(BASS_DATA_FLOAT)) / frameBytes;
        if (frames > 0 && !buffer)
            return fail(BASS_ERROR_ILLPARAM, kFailDword);
        int error = BASS_OK;
        const DWORD got = render(*ch, buffer, frames, floatOut, error);
        return got == kFailDword ? fail(error, kFailDword) : succeed(got * frameBytes);
    });
}

QWORD BASSDEF(BASS_ChannelGetLength)(DWORD handle, DWORD mode) {
    return api("BASS_ChannelGetLength", kFailQword, [&]() -> QWORD {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, kFailQword);
        const QWORD frames = ch->source->lengthFrames();
        if (mode != BASS_POS_BYTE || frames == kUnknownLength)
            return fail(BASS_ERROR_NOTAVAIL, kFailQword);
        return succeed(frames * ch->frameBytes);
    });
}

QWORD BASSDEF(BASS_ChannelGetPosition)(DWORD handle, DWORD mode) {
    return api("BASS_ChannelGetPosition", kFailQword, [&]() -> QWORD {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, kFailQword);
        if (!bytePositionMode(mode))
            return fail(BASS_ERROR_NOTAVAIL, kFailQword);
        std::lock_guard<std::mutex> lock(ch->mutex);
        if (ch->freed)
            return fail(BASS_ERROR_HANDLE, kFailQword);
        return succeed(ch->position * ch->frameBytes);
    });
}

BOOL BASSDEF(BASS_ChannelSetPosition)(DWORD handle, QWORD pos, DWORD mode) {
    return api("BASS_ChannelSetPosition", FALSE, [&]() -> BOOL {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, FALSE);
        if (!bytePositionMode(mode))
            return fail(BASS_ERROR_NOTAVAIL, FALSE);
        if (!ch->source->seekable())
            return fail(BASS_ERROR_NOTFILE, FALSE);
        const int error = moveChannel(*ch, pos / ch->frameBytes);
        return error == BASS_OK ? succeed(TRUE) : fail(error, FALSE);
    });
}

BOOL BASSDEF(BASS_ChannelPlay)(DWORD handle, BOOL restart) {
    return api("BASS_ChannelPlay", FALSE, [&]() -> BOOL {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, FALSE);
        if (ch->decode())
            return fail(BASS_ERROR_DECODE, FALSE);
        if (restart) {
            if (const int error = moveChannel(*ch, 0))
                return fail(error, FALSE);
        }
        std::lock_guard<std::mutex> lock(ch->mutex);
        if (ch->freed)
            return fail(BASS_ERROR_HANDLE, FALSE);
        ch->playing = true;
        return succeed(TRUE);
    });
}

BOOL BASSDEF(BASS_ChannelStop)(DWORD handle) {
    return api("BASS_ChannelStop", FALSE, [&]() -> BOOL {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, FALSE);
        ch->playing = false;
        // Stopping ends an auto-free stream's playback, so BASS frees it.
        if (ch->autoFree())
            return freeByHandle(handle);
        return succeed(TRUE);
    });
}

HDSP BASSDEF(BASS_ChannelSetDSP)(DWORD handle, DSPPROC *proc, void *user, int priority) {
    return api("BASS_ChannelSetDSP", HDSP(0), [&]() -> HDSP {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail<HDSP>(BASS_ERROR_HANDLE, 0);
        if (!proc)
            return fail<HDSP>(BASS_ERROR_ILLPARAM, 0);
        auto dsp = std::make_shared<Dsp>(Dsp{newHandle(), proc, user, priority});
        std::lock_guard<std::mutex> lock(ch->mutex);
        if (ch->freed)
            return fail<HDSP>(BASS_ERROR_HANDLE, 0);
        // Higher priority first; among equals, the earlier set runs first.
        const auto at = std::find_if(ch->dsps.begin(), ch->dsps.end(),
                                     [&](const std::shared_ptr<Dsp> &d) { return d->priority < priority; });
        ch->dsps.insert(at, dsp);
        return succeed(dsp->handle);
    });
}

BOOL BASSDEF(BASS_ChannelRemoveDSP)(DWORD handle, HDSP dsp) {
    return api("BASS_ChannelRemoveDSP", FALSE, [&]() -> BOOL {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, FALSE);
        std::unique_lock<std::mutex> lock(ch->mutex);
        if (ch->freed)
            return fail(BASS_ERROR_HANDLE, FALSE);
        const auto it = std::find_if(ch->dsps.begin(), ch->dsps.end(),
                                     [&](const std::shared_ptr<Dsp> &d) { return d->handle == dsp; });
        if (it == ch->dsps.end())
            return fail(BASS_ERROR_HANDLE, FALSE);
        const std::shared_ptr<Dsp> removed = *it;
        ch->dsps.erase(it);
        removed->removed = true;
        // Let a call in progress on another thread finish, so the caller may
        // release the DSP's user data once this returns.
        ch->changed.wait(lock, [&] { return ch->runningDsp != removed.get() || ch->renderingHere(); });
        return succeed(TRUE);
    });
}

HSYNC BASSDEF(BASS_ChannelSetSync)(DWORD handle, DWORD type, QWORD, SYNCPROC *proc, void *user) {
    return api("BASS_ChannelSetSync", HSYNC(0), [&]() -> HSYNC {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail<HSYNC>(BASS_ERROR_HANDLE, 0);
        if ((type & ~static_cast<DWORD>(BASS_SYNC_MIXTIME | BASS_SYNC_ONETIME)) != BASS_SYNC_FREE)
            return fail<HSYNC>(BASS_ERROR_ILLTYPE, 0);
        if (!proc)
            return fail<HSYNC>(BASS_ERROR_ILLPARAM, 0);
        std::lock_guard<std::mutex> lock(ch->mutex);
        if (ch->freed)
            return fail<HSYNC>(BASS_ERROR_HANDLE, 0);
        const HSYNC sync = newHandle();
        ch->syncs.push_back(Sync{sync, type, proc, user});
        return succeed(sync);
    });
}

BOOL BASSDEF(BASS_ChannelRemoveSync)(DWORD handle, HSYNC sync) {
    return api("BASS_ChannelRemoveSync", FALSE, [&]() -> BOOL {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, FALSE);
        std::lock_guard<std::mutex> lock(ch->mutex);
        if (ch->freed)
            return fail(BASS_ERROR_HANDLE, FALSE);
        const auto it =
            std::find_if(ch->syncs.begin(), ch->syncs.end(), [&](const Sync &s) { return s.handle == sync; });
        if (it == ch->syncs.end())
            return fail(BASS_ERROR_HANDLE, FALSE);
        ch->syncs.erase(it);
        return succeed(TRUE);
    });
}

BOOL BASSDEF(BASSTEST_FailNextCall)(const char *function, int errorCode) {
    try {
        return injectFailure(function, errorCode) ? succeed(TRUE) : fail(BASS_ERROR_ILLPARAM, FALSE);
    } catch (...) {
        return fail(BASS_ERROR_MEM, FALSE);
    }
}

BOOL BASSDEF(BASSTEST_GetCallbackCounts)(DWORD handle, DWORD *dsps, DWORD *syncs) {
    try {
        std::vector<ChannelPtr> channels;
        if (handle != 0) {
            ChannelPtr ch = lookup(handle);
            if (!ch)
                return fail(BASS_ERROR_HANDLE, FALSE);
            channels.push_back(std::move(ch));
        } else {
            Engine &e = engine();
            std::lock_guard<std::mutex> lock(e.mutex);
            for (const auto &entry : e.channels)
                channels.push_back(entry.second);
        }
        DWORD dspCount = 0;
        DWORD syncCount = 0;
        for (const ChannelPtr &ch : channels) {
            std::lock_guard<std::mutex> lock(ch->mutex);
            dspCount += static_cast<DWORD>(ch->dsps.size());
            syncCount += static_cast<DWORD>(ch->syncs.size());
        }
        if (dsps)
            *dsps = dspCount;
        if (syncs)
            *syncs = syncCount;
        return succeed(TRUE);
    } catch (...) {
        return fail(BASS_ERROR_MEM, FALSE);
    }
}

} // extern "C"
