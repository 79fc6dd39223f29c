// BASS itself and its streams as RAII owners, for the pulls of talven-apply.
#pragma once

#include "bass.h"

namespace talven::apply {

// BASS_Init(0): no output device; decoding channels need nothing more.
class BassSession {
public:
    BassSession() : ok_(BASS_Init(0, 44100, 0, nullptr, nullptr) != 0) {}
    ~BassSession()
    {
        if (ok_)
            BASS_Free();
    }
    BassSession(const BassSession&) = delete;
    BassSession& operator=(const BassSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

// A stream freed with its owner; the DSPs on it go with it.
class Stream {
public:
    explicit Stream(HSTREAM handle = 0) : handle_(handle) {}
    ~Stream() { reset(0); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    HSTREAM get() const { return handle_; }
    void reset(HSTREAM handle)
    {
        if (handle_)
            BASS_StreamFree(handle_);
        handle_ = handle;
    }

private:
    HSTREAM handle_;
};

} // namespace talven::apply
