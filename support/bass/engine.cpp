// The engine: channels, their DSP chains and syncs, the mixing thread, and
// the exported BASS functions. Locking: one engine mutex for the channel
// table and init state, one mutex per channel for its chain, syncs and
// render state. Neither is held while user code runs; the engine mutex is
// never taken while a channel mutex is held.
#include "bass.h"
#include "sources.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace talvenbass {
namespace {

thread_local int tlsError = BASS_OK;

template <class T> T fail(int code, T result) {
    tlsError = code;
    return result;
}

template <class T> T succeed(T result) {
    tlsError = BASS_OK;
    return result;
}

constexpr DWORD kFailDword = static_cast<DWORD>(-1);
constexpr QWORD kFailQword = static_cast<QWORD>(-1);

// ---- failure injection --------------------------------------------------

const char *const kInjectable[] = {
    "BASS_Init",           "BASS_Free",           "BASS_StreamCreate",     "BASS_StreamCreateFile",
    "BASS_StreamFree",     "BASS_ChannelFree",    "BASS_ChannelGetInfo",   "BASS_ChannelGetData",
    "BASS_ChannelGetLength", "BASS_ChannelPlay",  "BASS_ChannelStop",      "BASS_ChannelSetDSP",
    "BASS_ChannelRemoveDSP", "BASS_ChannelSetSync", "BASS_ChannelRemoveSync",
};

struct Injection {
    std::mutex mutex;
    std::map<std::string, int> pending;
};

Injection &injection() {
    static Injection instance;
    return instance;
}

bool takeInjected(const char *function, int &code) {
    Injection &inj = injection();
    std::lock_guard<std::mutex> lock(inj.mutex);
    if (inj.pending.empty())
        return false;
    const auto it = inj.pending.find(function);
    if (it == inj.pending.end())
        return false;
    code = it->second;
    inj.pending.erase(it);
    return true;
}

// Runs one exported call: a pending injected failure wins, and no exception
// crosses the C boundary.
template <class R, class F> R api(const char *function, R failure, F &&body) {
    int injected = 0;
    try {
        if (takeInjected(function, injected))
            return fail(injected, failure);
        return body();
    } catch (const std::bad_alloc &) {
        return fail(BASS_ERROR_MEM, failure);
    } catch (...) {
        return fail(BASS_ERROR_UNKNOWN, failure);
    }
}

// ---- channels -----------------------------------------------------------

std::atomic<std::uint32_t> nextHandle{0x10000};

DWORD newHandle() {
    std::uint32_t h = 0;
    while (h == 0)
        h = nextHandle.fetch_add(1);
    return h;
}

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
    Channel(DWORD h, std::unique_ptr<Source> src) : handle(h), source(std::move(src)) {}

    const DWORD handle;
    const std::unique_ptr<Source> source; // used only by the rendering thread
    BASS_CHANNELINFO info{};
    std::string path; // info.filename points here

    bool decode() const { return (info.flags & BASS_STREAM_DECODE) != 0; }

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

    bool renderingHere() const { return rendering && renderThread == std::this_thread::get_id(); }
};

using ChannelPtr = std::shared_ptr<Channel>;

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

// Clears the render state however the block ends.
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

// Pulls one block from the source and runs the DSP chain over it. Returns
// the bytes delivered, or kFailDword with `error` set.
DWORD render(Channel &ch, float *buffer, DWORD bytes, int &error) {
    std::vector<std::shared_ptr<Dsp>> chain;
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
    }
    RenderScope scope(ch);

    bool ended = false;
    const DWORD got = ch.source->read(ch.handle, buffer, bytes, ended);
    if (got > 0) {
        for (const auto &dsp : chain) {
            {
                std::lock_guard<std::mutex> lock(ch.mutex);
                if (ch.freed || dsp->removed)
                    continue;
                ch.runningDsp = dsp.get();
            }
            dsp->proc(dsp->handle, ch.handle, buffer, got, dsp->user);
            {
                std::lock_guard<std::mutex> lock(ch.mutex);
                ch.runningDsp = nullptr;
            }
            ch.changed.notify_all();
        }
    }

    std::lock_guard<std::mutex> lock(ch.mutex);
    if (ended)
        ch.ended = true;
    if (got == 0 && ended) {
        error = BASS_ERROR_ENDED;
        return kFailDword;
    }
    return got;
}

// Frees a channel already taken out of the table.
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

int checkFormat(DWORD flags) {
    if (!(flags & BASS_SAMPLE_FLOAT) || (flags & BASS_SAMPLE_8BITS))
        return BASS_ERROR_FORMAT;
    return BASS_OK;
}

// ---- mixing thread ------------------------------------------------------

constexpr auto kPeriod = std::chrono::milliseconds(10);

void mixLoop() {
    Engine &e = engine();
    std::vector<float> buffer;
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
            const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(float));
            if (render(*ch, buffer.data(), bytes, error) == kFailDword && error == BASS_ERROR_ENDED)
                ch->playing = false;
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

HSTREAM BASSDEF(BASS_StreamCreate)(DWORD freq, DWORD chans, DWORD flags, STREAMPROC *proc, void *user) {
    return api("BASS_StreamCreate", HSTREAM(0), [&]() -> HSTREAM {
        if (!initialized())
            return fail<HSTREAM>(BASS_ERROR_INIT, 0);
        if (const int error = checkFormat(flags))
            return fail<HSTREAM>(error, 0);
        if (chans == 0)
            return fail<HSTREAM>(BASS_ERROR_FORMAT, 0);
        if (freq == 0)
            return fail<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
        if (proc == STREAMPROC_DUMMY || proc == STREAMPROC_PUSH || proc == STREAMPROC_DEVICE ||
            proc == STREAMPROC_DEVICE_3D)
            return fail<HSTREAM>(BASS_ERROR_NOTAVAIL, 0);
        auto ch = std::make_shared<Channel>(newHandle(), makeProcSource(proc, user, chans));
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
        if (mem || offset != 0 || length != 0 || (flags & BASS_UNICODE))
            return fail<HSTREAM>(BASS_ERROR_NOTAVAIL, 0);
        if (!file)
            return fail<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
        if (const int error = checkFormat(flags))
            return fail<HSTREAM>(error, 0);
        const std::string path(static_cast<const char *>(file));
        OpenedFile opened = openFile(path);
        if (!opened.source)
            return fail<HSTREAM>(opened.error, 0);
        auto ch = std::make_shared<Channel>(newHandle(), std::move(opened.source));
        ch->path = path;
        ch->info.freq = opened.freq;
        ch->info.chans = opened.chans;
        ch->info.flags = flags;
        ch->info.ctype = opened.ctype;
        ch->info.origres = opened.origres;
        ch->info.filename = ch->path.c_str();
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
        const DWORD frameBytes = ch->info.chans * static_cast<DWORD>(sizeof(float));
        DWORD bytes = length & ~static_cast<DWORD>(BASS_DATA_FLOAT);
        bytes -= bytes % frameBytes;
        if (bytes > 0 && !buffer)
            return fail(BASS_ERROR_ILLPARAM, kFailDword);
        int error = BASS_OK;
        const DWORD got = render(*ch, static_cast<float *>(buffer), bytes, error);
        return got == kFailDword ? fail(error, kFailDword) : succeed(got);
    });
}

QWORD BASSDEF(BASS_ChannelGetLength)(DWORD handle, DWORD mode) {
    return api("BASS_ChannelGetLength", kFailQword, [&]() -> QWORD {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, kFailQword);
        const QWORD length = ch->source->lengthBytes(); // fixed once opened
        if (mode != BASS_POS_BYTE || length == kFailQword)
            return fail(BASS_ERROR_NOTAVAIL, kFailQword);
        return succeed(length);
    });
}

BOOL BASSDEF(BASS_ChannelPlay)(DWORD handle, BOOL restart) {
    return api("BASS_ChannelPlay", FALSE, [&]() -> BOOL {
        const ChannelPtr ch = lookup(handle);
        if (!ch)
            return fail(BASS_ERROR_HANDLE, FALSE);
        if (ch->decode())
            return fail(BASS_ERROR_DECODE, FALSE);
        std::unique_lock<std::mutex> lock(ch->mutex);
        if (restart) {
            // The source belongs to whoever renders; wait our turn.
            if (!ch->renderingHere())
                ch->changed.wait(lock, [&] { return !ch->rendering || ch->freed; });
            if (ch->freed)
                return fail(BASS_ERROR_HANDLE, FALSE);
            ch->source->rewind();
            ch->ended = false;
        }
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
        Injection &inj = injection();
        std::lock_guard<std::mutex> lock(inj.mutex);
        if (!function) {
            inj.pending.clear();
            return succeed(TRUE);
        }
        for (const char *name : kInjectable) {
            if (std::strcmp(name, function) == 0) {
                inj.pending[name] = errorCode;
                return succeed(TRUE);
            }
        }
        return fail(BASS_ERROR_ILLPARAM, FALSE);
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
