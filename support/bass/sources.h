// Where a channel's samples come from: a caller's STREAMPROC or a file.
#pragma once

#include "bass.h"
#include "samples.h"

#include <memory>

namespace talvenbass {

constexpr QWORD kUnknownLength = static_cast<QWORD>(-1);

// Used by one thread at a time: the channel's render, or a seek or rewind
// that waited for it.
class Source {
public:
    virtual ~Source() = default;

    // Fills up to `frames` frames in the channel's sample format and returns
    // how many it wrote; sets `ended` once the source has nothing more.
    virtual DWORD read(HSTREAM handle, void *out, DWORD frames, bool &ended) = 0;
    // File streams move; user streams cannot (BASS_ERROR_NOTFILE).
    virtual bool seekable() const { return false; }
    // Moves to `frame` (at most lengthFrames()); false when the file would
    // not move, with the position kept.
    virtual bool seek(QWORD) { return false; }
    // Fixed once opened, so any thread may ask.
    virtual QWORD lengthFrames() const { return kUnknownLength; }
};

std::unique_ptr<Source> makeProcSource(STREAMPROC *proc, void *user, DWORD frameBytes);

struct OpenedFile {
    std::unique_ptr<Source> source; // null on failure, with `error` set
    int error = BASS_OK;
    DWORD freq = 0;
    DWORD chans = 0;
    DWORD ctype = 0;
    DWORD origres = 0;
};

// Opens a sound file delivering `format`. `path` is a char path (UTF-8 on
// Linux, the ANSI code page on Windows) or, when `unicode`, a wchar_t path
// (Windows only: BASS_ERROR_NOTAVAIL elsewhere).
OpenedFile openFile(const void *path, bool unicode, SampleFormat format);

} // namespace talvenbass
