// Where a channel's samples come from: a caller's STREAMPROC or a file.
#pragma once

#include "bass.h"

#include <memory>
#include <string>

namespace talvenbass {

class Source {
public:
    virtual ~Source() = default;

    // Fills up to `bytes` bytes (whole frames) of float samples and returns
    // how many it wrote; sets `ended` once the source has nothing more.
    virtual DWORD read(HSTREAM handle, float *out, DWORD bytes, bool &ended) = 0;
    // Back to the first frame; false where that means nothing.
    virtual bool rewind() { return false; }
    // Length in bytes of float data, or (QWORD)-1 when unknown.
    virtual QWORD lengthBytes() const { return static_cast<QWORD>(-1); }
};

std::unique_ptr<Source> makeProcSource(STREAMPROC *proc, void *user, DWORD chans);

struct OpenedFile {
    std::unique_ptr<Source> source; // null on failure, with `error` set
    int error = BASS_OK;
    DWORD freq = 0;
    DWORD chans = 0;
    DWORD ctype = 0;
    DWORD origres = 0;
};

// Opens a sound file for reading as float; fails with BASS_ERROR_NOTAVAIL
// where the engine has no file support (Windows).
OpenedFile openFile(const std::string &utf8Path);

} // namespace talvenbass
